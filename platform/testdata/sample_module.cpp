// A plug-in module with two classes, one in the sample category, for the class registry tests.
#include "platform/module.h"
#include "platform/testdata/sample_module.h"

namespace velk::testing {
namespace {

class Sample : public ISample {
public:
    explicit Sample(std::string name) : name_(std::move(name)) {}
    std::string Name() const override { return name_; }

private:
    std::string name_;
};

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{kSampleClass, "Velk Sample", "Velk.Sample.1", "Velk.Sample", {kSampleCategory}},
         [] { return std::make_shared<Sample>("sample"); }},
        {{kOtherSampleClass, "Velk Other Sample", "", "", {}},
         [] { return std::make_shared<Sample>("other"); }},
    };
    return kClasses;
}

} // namespace
} // namespace velk::testing

VELK_DEFINE_MODULE(velk::testing::Classes)
