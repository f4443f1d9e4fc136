// A plug-in module with two classes, one in the sample category, and a property-sheet handler,
// for the class registry tests.
#include "platform/module.h"
#include "platform/testdata/sample_module.h"
#include "velk/media_renderer.h"

namespace velk::testing {
namespace {

class Sample : public ISample {
public:
    explicit Sample(std::string name) : name_(std::move(name)) {}
    std::string Name() const override { return name_; }

private:
    std::string name_;
};

class SamplePages : public IShellExtInit, public IShellPropSheetExt,
                    public std::enable_shared_from_this<SamplePages> {
public:
    HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) override
    {
        if (!data_object || data_object->Items().empty())
            return E_INVALIDARG;
        data_object_ = data_object;
        return S_OK;
    }

    HRESULT AddPages(const AddPropSheetPageFn& add_page) override
    {
        for (const auto& item : data_object_->Items()) {
            UPnPDeviceInfo device;
            item->get_UPnPDevice(device);
            auto page = std::make_shared<PropSheetPage>();
            page->title = device.udn;
            page->lParam = std::static_pointer_cast<IShellExtInit>(shared_from_this());
            if (!add_page(page))
                return E_FAIL;
        }
        return S_OK;
    }

private:
    std::shared_ptr<IDataObject> data_object_;
};

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{kSampleClass, "Velk Sample", "Velk.Sample.1", "Velk.Sample", {kSampleCategory}},
         [] { return std::make_shared<Sample>("sample"); }},
        {{kOtherSampleClass, "Velk Other Sample", "", "", {}},
         [] { return std::make_shared<Sample>("other"); }},
        {{kSamplePagesClass, "Velk Sample Pages", "", "", {}},
         [] { return std::static_pointer_cast<IShellExtInit>(std::make_shared<SamplePages>()); }},
    };
    return kClasses;
}

} // namespace
} // namespace velk::testing

VELK_DEFINE_MODULE(velk::testing::Classes)
