#include "rcp/rcp_bitmap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "platform/apartment.h"
#include "platform/base64.h"
#include "platform/testdata/run_apartment_until.h"

namespace velk {
namespace {

constexpr std::uint32_t kWaitMs = 5000;
constexpr std::uint32_t kRed = 0x000000FF;   // COLORREF
constexpr std::uint32_t kGreen = 0x0000FF00; // COLORREF

// A 280x16 answer whose first column is lit from the top down to its middle.
const std::string kHalfColumn = "data bytes: 560\r\nff00" + std::string(558 * 2, '0');

class CountingSink : public IAdviseSink {
public:
    void OnDataChange(IDataObject&) override { ++changes; }
    int changes = 0;
};

class RecordingDispatchSink : public IDispatchable {
public:
    const DispatchTable& Table() const override { return CRCPBitmap::EventTable(); }
    HRESULT Invoke(DISPID dispid, MemberKind, std::vector<Variant>& args, Variant&) override
    {
        std::string picture;
        if (dispid == kDispidOnDataChange && args.size() == 1 && SUCCEEDED(args[0].ToString(picture)))
            pictures.push_back(picture);
        return S_OK;
    }
    std::vector<std::string> pictures;
};

// A capture of a 280x16 display on this thread's apartment; its requests for display data are
// kept for the test to answer.
class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(capture_->Initialize(280, 16,
                                       [this](RcpLineCallback callback) {
                                           requests_.push_back(std::move(callback));
                                           return S_OK;
                                       }),
                  S_OK);
        ASSERT_EQ(capture_->DAdvise(sink_, cookie_), S_OK);
    }
    void TearDown() override { capture_->Shutdown(); }

    // Answers the latest request as the reader thread would, and lets the apartment decode it.
    void Answer(const std::string& text)
    {
        const int before = sink_->changes;
        requests_.back()(text, 0);
        RunApartmentUntil(*apartment_, [&] { return sink_->changes > before; }, kWaitMs);
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    std::shared_ptr<CRCPBitmap> capture_ = std::make_shared<CRCPBitmap>();
    std::shared_ptr<CountingSink> sink_ = std::make_shared<CountingSink>();
    DWORD cookie_ = 0;
    std::vector<RcpLineCallback> requests_;
};

TEST_F(CaptureTest, ChangesWhileARequestIsOutAskOnceMoreAfterItsAnswer)
{
    capture_->OnUpdateDisplay();
    capture_->OnUpdateDisplay();
    capture_->OnUpdateDisplay();
    ASSERT_EQ(requests_.size(), 1u);
    Answer(kHalfColumn);
    EXPECT_EQ(sink_->changes, 1);
    ASSERT_EQ(requests_.size(), 2u);
    Answer(kHalfColumn);
    EXPECT_EQ(requests_.size(), 2u);
    const Bitmap picture = capture_->Render();
    EXPECT_EQ(picture.Pixel(0, 7), 0xFF000000 | 0x80D0FF);
    EXPECT_EQ(picture.Pixel(0, 8), 0xFF000000u);
}

TEST_F(CaptureTest, UnreadableAnswersLeaveThePictureAndTellNobody)
{
    capture_->OnUpdateDisplay();
    Answer(kHalfColumn);
    const Bitmap before = capture_->Render();
    for (const char* answer : {"data bytes: 0\r\nffff", "ParameterError", "data bytes: 560\r\nxx"}) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(capture_->_OnUpdateBitmap(answer), S_OK);
        EXPECT_EQ(sink_->changes, 1);
        EXPECT_EQ(capture_->Render(), before);
    }
}

TEST_F(CaptureTest, ColoursRecolourThePictureAtOnce)
{
    capture_->OnUpdateDisplay();
    Answer(kHalfColumn);
    ASSERT_EQ(capture_->put_ForegroundColor(kRed), S_OK);
    ASSERT_EQ(capture_->put_BackgroundColor(kGreen), S_OK);
    EXPECT_EQ(sink_->changes, 3);
    EXPECT_EQ(capture_->put_BackgroundColor(kGreen), S_OK);
    EXPECT_EQ(sink_->changes, 3);
    const Bitmap picture = capture_->Render();
    EXPECT_EQ(picture.Pixel(0, 0), 0xFFFF0000);
    EXPECT_EQ(picture.Pixel(1, 0), 0xFF00FF00);
    std::uint32_t color = 0;
    ASSERT_EQ(capture_->get_ForegroundColor(color), S_OK);
    EXPECT_EQ(color, kRed);
    // A system colour index names no colour here.
    EXPECT_EQ(capture_->put_ForegroundColor(0x80000005), E_INVALIDARG);
}

TEST_F(CaptureTest, FormatsAndFilesHoldThePicture)
{
    capture_->OnUpdateDisplay();
    Answer(kHalfColumn);
    const Bitmap picture = capture_->Render();
    UnknownPtr object;
    ASSERT_EQ(capture_->get_DataObject(object), S_OK);
    auto data = std::dynamic_pointer_cast<IDataObject>(object);
    ASSERT_TRUE(data);

    std::vector<std::uint8_t> bytes;
    Bitmap read;
    ASSERT_EQ(data->GetData(DataFormat::Dib, bytes), S_OK);
    ASSERT_EQ(Bitmap::ReadDib(bytes, read), S_OK);
    EXPECT_EQ(read, picture);
    ASSERT_EQ(data->GetData(DataFormat::BmpFile, bytes), S_OK);
    ASSERT_EQ(Bitmap::ReadBmp(bytes, read), S_OK);
    EXPECT_EQ(read, picture);
    ASSERT_EQ(data->GetData(DataFormat::Png, bytes), S_OK);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");

    const auto path = std::filesystem::temp_directory_path() /
                      ("capture_test_" + std::to_string(getpid()) + ".bmp");
    ASSERT_EQ(capture_->SaveToFile(path.string()), S_OK);
    ASSERT_EQ(Bitmap::LoadBmpFile(path, read), S_OK);
    EXPECT_EQ(read, picture);
    std::filesystem::remove(path);
    EXPECT_EQ(capture_->SaveToFile("/no/such/folder/picture.bmp"),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(capture_->SaveToFile("CLIPBOARD"), E_NOTIMPL);
}

TEST_F(CaptureTest, DispatchSinksHearThePictureAtOnceAndOnEachChange)
{
    auto sink = std::make_shared<RecordingDispatchSink>();
    DWORD cookie = 0;
    ASSERT_EQ(capture_->AdviseDispatch(sink, cookie), S_OK);
    ASSERT_EQ(sink->pictures.size(), 1u);
    capture_->OnUpdateDisplay();
    Answer(kHalfColumn);
    ASSERT_EQ(sink->pictures.size(), 2u);
    std::vector<std::uint8_t> png;
    ASSERT_EQ(capture_->GetData(DataFormat::Png, png), S_OK);
    EXPECT_EQ(Base64Decode(sink->pictures[1]), png);
    ASSERT_EQ(capture_->UnadviseDispatch(cookie), S_OK);
    ASSERT_EQ(capture_->put_ForegroundColor(kRed), S_OK);
    EXPECT_EQ(sink->pictures.size(), 2u);
}

} // namespace
} // namespace velk
