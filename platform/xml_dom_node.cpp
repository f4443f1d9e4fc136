#include "platform/xml_dom_node.h"

namespace velk {

namespace {

class CXmlDomNode final : public IXMLDOMNode {
public:
    CXmlDomNode(std::shared_ptr<const XmlDocument> document, const XmlNode& node)
        : document_(std::move(document)), node_(node)
    {
    }

    HRESULT selectSingleNode(std::string_view queryString,
                             std::shared_ptr<IXMLDOMNode>& resultNode) override
    {
        resultNode.reset();
        const auto found = node_.SelectSingleNode(queryString);
        if (!found)
            return S_FALSE;
        resultNode = MakeDomNode(document_, *found);
        return S_OK;
    }

    HRESULT get_text(std::string& text) override
    {
        text = node_.Text();
        return S_OK;
    }

private:
    const std::shared_ptr<const XmlDocument> document_;
    const XmlNode node_;
};

} // namespace

std::shared_ptr<IXMLDOMNode> MakeDomNode(std::shared_ptr<const XmlDocument> document,
                                         const XmlNode& node)
{
    return std::make_shared<CXmlDomNode>(std::move(document), node);
}

} // namespace velk
