// The custom-scheme byte source read and sought the way libavformat does,
// through its AVIOContext.

#include "media/FFmpegResourceReader.h"

#include <gtest/gtest.h>

#include <thread>

#include "MediaTesting.h"
#include "core/RunLoop.h"

extern "C" {
#include <libavformat/avio.h>
}

namespace {

using Request = media::AssetResourceLoadingRequest;

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t index = 0; index < size; ++index) bytes[index] = static_cast<char>(index * 7 % 251);
    return bytes;
}

class FFmpegResourceReaderTest : public testing::Test {
protected:
    FFmpegResourceReaderTest() { delegate_->attach(*loader_); }

    std::string read(size_t count) {
        std::string bytes(count, '\0');
        const int got = avio_read(reader_.context(), reinterpret_cast<unsigned char*>(bytes.data()),
                                  static_cast<int>(count));
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return bytes;
    }

    const std::string bytes_ = pattern(200'000);
    std::shared_ptr<mediatest::MemoryResourceDelegate> delegate_ =
        std::make_shared<mediatest::MemoryResourceDelegate>(bytes_, 4096);
    std::shared_ptr<media::AssetResourceLoader> loader_ = media::AssetResourceLoader::create();
    std::shared_ptr<media::FFmpegInterrupt> interrupt_ = std::make_shared<media::FFmpegInterrupt>();
    media::FFmpegResourceReader reader_{*core::URL::create("video://ads.example/clip"), loader_,
                                        interrupt_};
};

TEST_F(FFmpegResourceReaderTest,
       ReadsFromTheRequestOpenAtThePositionAndASeekPastWhatArrivedCancelsIt) {
    delegate_->servedPerRequest = 8192;
    ASSERT_FALSE(reader_.start().has_value());
    EXPECT_EQ(avio_size(reader_.context()), 200'000);
    EXPECT_EQ(read(1000), bytes_.substr(0, 1000));

    // Far ahead of what arrived: the open request is cancelled, the next
    // read asks from there to the end.
    ASSERT_EQ(avio_seek(reader_.context(), 150'000, SEEK_SET), 150'000);
    EXPECT_EQ(read(100), bytes_.substr(150'000, 100));
    auto requests = delegate_->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1]->outcome(), Request::Outcome::cancelled);
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([&] { return delegate_->cancelledCount() == 1; }, 5));
    const auto* data = requests[2]->dataRequest();
    EXPECT_EQ(data->requestedOffset(), 150'000);
    EXPECT_EQ(data->requestedLength(), 50'000);
    EXPECT_TRUE(data->requestsAllDataToEndOfResource());

    // Back within what arrived: no new request.
    ASSERT_EQ(avio_seek(reader_.context(), 150'050, SEEK_SET), 150'050);
    EXPECT_EQ(read(50), bytes_.substr(150'050, 50));
    EXPECT_EQ(delegate_->requests().size(), 3u);
}

TEST_F(FFmpegResourceReaderTest, AFinishedRequestEndsTheResourceAndAFailedOneCarriesItsError) {
    ASSERT_FALSE(reader_.start().has_value());
    ASSERT_EQ(avio_seek(reader_.context(), 199'990, SEEK_SET), 199'990);
    EXPECT_EQ(read(100), bytes_.substr(199'990));
    EXPECT_TRUE(avio_feof(reader_.context()));

    // A delegate failing the data request: the read fails with its error.
    auto failing = std::make_shared<mediatest::MemoryResourceDelegate>(bytes_);
    failing->holdData = true;
    failing->attach(*loader_);
    ASSERT_EQ(avio_seek(reader_.context(), 10, SEEK_SET), 10);
    std::thread failer([&] {
        while (failing->requests().empty()) std::this_thread::yield();
        failing->requests().back()->finishLoadingWithError(
            {"test.domain", 11, "Too many bad attempts."});
    });
    std::string buffer(10, '\0');
    EXPECT_LT(avio_read(reader_.context(), reinterpret_cast<unsigned char*>(buffer.data()), 10), 0);
    failer.join();
    ASSERT_TRUE(reader_.error().has_value());
    EXPECT_EQ(reader_.error()->message, "Too many bad attempts.");
}

TEST_F(FFmpegResourceReaderTest, StartFailsWhenTheContentInformationIsDeclinedFailedOrStopped) {
    delegate_->decline = true;
    const auto declined = reader_.start();
    ASSERT_TRUE(declined.has_value());
    EXPECT_EQ(declined->code, media::MediaError::ContentUnavailable);

    auto interrupt = std::make_shared<media::FFmpegInterrupt>();
    interrupt->stop();
    media::FFmpegResourceReader stopped(*core::URL::create("video://x"), loader_, interrupt);
    const auto cancelled = stopped.start();
    ASSERT_TRUE(cancelled.has_value());
    EXPECT_EQ(cancelled->code, media::MediaError::Cancelled);
}

}  // namespace
