// XML documents from outside (UPnP events, DIDL-Lite, feeds): parsed without DTD loading,
// external entities, entity expansion or network access (a document whose DTD declares
// anything is refused), and queried with XPath under the namespace prefixes the caller
// declares. A document is used by one thread at a time; once parsed and given its namespaces,
// it may be read by one thread after another.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace velk {

class XmlDocument;

// A node of a document; valid while its document lives.
class XmlNode {
public:
    // The attribute's value; none when the node has no such attribute.
    std::optional<std::string> Attribute(std::string_view name) const;
    // The text content of the node and its descendants.
    std::string Text() const;

    std::optional<XmlNode> SelectSingleNode(std::string_view xpath) const;

private:
    friend class XmlDocument;
    XmlNode(const XmlDocument* document, void* node) : document_(document), node_(node) {}

    const XmlDocument* document_;
    void* node_; // xmlNodePtr
};

class XmlDocument {
public:
    // E_INVALIDARG for text that is not well-formed XML (or declares a DTD with entities).
    static HRESULT Parse(std::string_view text, std::unique_ptr<XmlDocument>& document);

    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // The prefixes XPath expressions may use, by prefix.
    void SetSelectionNamespaces(std::map<std::string, std::string> namespaces);

    // The first node the expression selects; none for no match or an invalid expression.
    std::optional<XmlNode> SelectSingleNode(std::string_view xpath) const;
    // Every node it selects, in document order; none for an invalid expression.
    std::vector<XmlNode> SelectNodes(std::string_view xpath) const;

private:
    friend class XmlNode;
    explicit XmlDocument(void* document) : document_(document) {}
    std::optional<XmlNode> Select(void* context, std::string_view xpath) const;
    // Hands the selected nodes (xmlNodePtr) to take until it returns false.
    void Evaluate(void* context, std::string_view xpath,
                  const std::function<bool(void* node)>& take) const;

    void* document_; // xmlDocPtr
    std::map<std::string, std::string> namespaces_;
};

} // namespace velk
