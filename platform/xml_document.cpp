#include "platform/xml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>

namespace velk {

namespace {

const xmlChar* Chars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

// libxml2 reports parse errors on stderr unless told otherwise.
void IgnoreErrors(void*, const char*, ...) {}

} // namespace

HRESULT XmlDocument::Parse(std::string_view text, std::unique_ptr<XmlDocument>& document)
{
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return E_INVALIDARG;
    xmlSetGenericErrorFunc(nullptr, IgnoreErrors);
    // No DTD loading, no entity substitution, no network: text from the network stays inert.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr parsed = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                     options);
    if (!parsed)
        return E_INVALIDARG;
    // A document that declares entities could expand them on access; such text is refused. A
    // bare document type declaration (old feeds name their DTD) is harmless: nothing loads it.
    const xmlDtd* declared = parsed->intSubset;
    if ((declared && (declared->entities || declared->pentities || declared->elements ||
                      declared->attributes || declared->notations)) ||
        parsed->extSubset) {
        xmlFreeDoc(parsed);
        return E_INVALIDARG;
    }
    document.reset(new XmlDocument(parsed));
    return S_OK;
}

XmlDocument::~XmlDocument() { xmlFreeDoc(static_cast<xmlDocPtr>(document_)); }

void XmlDocument::SetSelectionNamespaces(std::map<std::string, std::string> namespaces)
{
    namespaces_ = std::move(namespaces);
}

std::optional<XmlNode> XmlDocument::SelectSingleNode(std::string_view xpath) const
{
    return Select(nullptr, xpath);
}

std::vector<XmlNode> XmlDocument::SelectNodes(std::string_view xpath) const
{
    std::vector<XmlNode> nodes;
    Evaluate(nullptr, xpath, [&](void* node) {
        nodes.push_back(XmlNode(this, node));
        return true;
    });
    return nodes;
}

std::optional<XmlNode> XmlDocument::Select(void* context, std::string_view xpath) const
{
    std::optional<XmlNode> found;
    Evaluate(context, xpath, [&](void* node) {
        found = XmlNode(this, node);
        return false;
    });
    return found;
}

void XmlDocument::Evaluate(void* context, std::string_view xpath,
                           const std::function<bool(void* node)>& take) const
{
    auto* doc = static_cast<xmlDocPtr>(document_);
    xmlXPathContextPtr xpath_context = xmlXPathNewContext(doc);
    if (!xpath_context)
        return;
    for (const auto& [prefix, uri] : namespaces_)
        xmlXPathRegisterNs(xpath_context, Chars(prefix), Chars(uri));
    if (context)
        xpath_context->node = static_cast<xmlNodePtr>(context);
    const std::string expression(xpath);
    xmlXPathObjectPtr result = xmlXPathEvalExpression(Chars(expression), xpath_context);
    if (result && result->type == XPATH_NODESET && result->nodesetval) {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            if (!take(result->nodesetval->nodeTab[i]))
                break;
        }
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(xpath_context);
}

std::optional<std::string> XmlNode::Attribute(std::string_view name) const
{
    const std::string attribute(name);
    xmlChar* value = xmlGetProp(static_cast<xmlNodePtr>(node_), Chars(attribute));
    if (!value)
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::string XmlNode::Text() const
{
    xmlChar* content = xmlNodeGetContent(static_cast<xmlNodePtr>(node_));
    if (!content)
        return {};
    std::string text(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return text;
}

std::optional<XmlNode> XmlNode::SelectSingleNode(std::string_view xpath) const
{
    return document_->Select(node_, xpath);
}

} // namespace velk
