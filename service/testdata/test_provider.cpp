// A plug-in module of data providers for the data host tests: each call is recorded with the
// thread it ran on, and the tests steer what Initialize answers (test_provider_control.h).
#include "platform/module.h"
#include "service/testdata/test_provider_control.h"

namespace velk::testing {
namespace {

TestProviderControl& Control()
{
    static TestProviderControl control;
    return control;
}

std::string Remaining(IStream& stream)
{
    std::string text;
    char buffer[256];
    ULONG read = 0;
    while (SUCCEEDED(stream.Read(buffer, sizeof buffer, read)) && read > 0)
        text.append(buffer, read);
    return text;
}

template <class T> class Provider : public DispatchImpl<T, IVelkDataObject> {
public:
    static const Dispatcher<T>& Dispatch()
    {
        static const auto dispatcher = DispatchBuilder<T>("IVelkDataObject")
                                           .Method("Run", 2, &T::Run)
                                           .Method("Terminate", 3, &T::Terminate)
                                           .Build();
        return dispatcher;
    }

    explicit Provider(const Guid& clsid) : clsid_(clsid) { ++Control().live; }
    ~Provider() override { --Control().live; }

    HRESULT Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                       std::uint32_t& lpdwPollFrequency) override
    {
        Control().Record(clsid_, "Initialize");
        if (!iHost)
            return E_POINTER;
        const ProviderSteering steering = Control().SteeringOf(clsid_);
        lpdwPollFrequency = steering.poll_interval_ms;
        return steering.initialize_result;
    }
    HRESULT Start(const std::shared_ptr<IVelkDataHost>&) override
    {
        Control().Record(clsid_, "Start");
        return S_OK;
    }
    HRESULT Run() override
    {
        Control().Record(clsid_, "Run");
        if (const auto during_run = Control().DuringRun(clsid_))
            during_run();
        return S_OK;
    }
    HRESULT Terminate() override
    {
        Control().Record(clsid_, "Terminate");
        return S_OK;
    }

protected:
    const Guid clsid_;
};

class PlainProvider : public Provider<PlainProvider> {
public:
    PlainProvider() : Provider(kPlainProvider) {}
};

class ConfigurableProvider : public Provider<ConfigurableProvider>,
                             public IConfigureVelkDataObject,
                             public IVelkDataObjectEventSource {
public:
    ConfigurableProvider() : Provider(kConfigurableProvider) {}

    HRESULT Configure(const AddPropSheetPageFn&, std::string_view, std::string_view) override
    {
        return E_NOTIMPL;
    }
    HRESULT SaveObjectState(IStream&) override { return E_NOTIMPL; }
    HRESULT LoadObjectState(IStream& stream) override
    {
        Control().Record(clsid_, "LoadObjectState", Remaining(stream));
        return S_OK;
    }
    HRESULT SaveDeviceState(IStream&, const std::shared_ptr<IVelkDevice>&) override
    {
        return E_NOTIMPL;
    }
    HRESULT LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override
    {
        std::string udn;
        if (iDevice)
            iDevice->get_UDN(udn);
        Control().Record(clsid_, "LoadDeviceState", udn + " " + Remaining(stream));
        return S_OK;
    }

    HRESULT Advise(std::shared_ptr<_IVelkDataObjectEvent> sink, DWORD& cookie) override
    {
        return Control().data_event.Advise(std::move(sink), cookie);
    }
    HRESULT Unadvise(DWORD cookie) override { return Control().data_event.Unadvise(cookie); }
};

// One of the polled providers: the class id is the only difference between them.
class PolledProvider : public Provider<PolledProvider> {
public:
    explicit PolledProvider(const Guid& clsid) : Provider(clsid) {}
};

// Registered like a provider, but its objects are none.
class NotAProvider : public IUnknown {};

template <class T> UnknownPtr Make()
{
    return std::static_pointer_cast<IVelkDataObject>(std::make_shared<T>());
}

std::span<const ModuleClass> Classes()
{
    static const std::vector<ModuleClass> kClasses = [] {
        std::vector<ModuleClass> classes{
            {{kConfigurableProvider, "Velk Test Configurable Provider", "", "", {}},
             Make<ConfigurableProvider>},
            {{kPlainProvider, "Velk Test Plain Provider", "", "", {}}, Make<PlainProvider>},
            {{kBrokenProvider, "Velk Test Broken Provider", "", "", {}},
             [] { return UnknownPtr(std::make_shared<NotAProvider>()); }},
        };
        for (int i = 0; i < kPolledProviderCount; ++i) {
            const Guid clsid = PolledProviderClass(i);
            classes.push_back(
                {{clsid, "Velk Test Polled Provider " + std::to_string(i), "", "", {}}, [clsid] {
                     return UnknownPtr(std::static_pointer_cast<IVelkDataObject>(
                         std::make_shared<PolledProvider>(clsid)));
                 }});
        }
        return classes;
    }();
    return kClasses;
}

} // namespace
} // namespace velk::testing

VELK_DEFINE_MODULE(velk::testing::Classes)

extern "C" __attribute__((visibility("default"))) velk::testing::TestProviderControl*
VelkTestProviderControl()
{
    return &velk::testing::Control();
}
