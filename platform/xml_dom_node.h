// A node of a parsed document handed on as an object (a feed item given to the renderer that
// draws it): the object keeps its document alive, so that it stays valid however long its
// receiver holds it. Used by one thread at a time, like its document.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "platform/unknown.h"
#include "platform/xml_document.h"

namespace velk {

class IXMLDOMNode : public IUnknown {
public:
    // The first node the XPath expression selects from this one, under the document's
    // selection namespaces; S_FALSE and no node when it selects nothing.
    virtual HRESULT selectSingleNode(std::string_view queryString,
                                     std::shared_ptr<IXMLDOMNode>& resultNode) = 0;
    // The text of the node and its descendants.
    virtual HRESULT get_text(std::string& text) = 0;
};

std::shared_ptr<IXMLDOMNode> MakeDomNode(std::shared_ptr<const XmlDocument> document,
                                         const XmlNode& node);

} // namespace velk
