// SPDX-License-Identifier: MIT
// The frames of an animation, read by the readers of decoders/ and finished as pictures are: in
// a frames reader of their own (sandbox/ReaderProcess.h), or in this process where pictures are
// read here.

#include "ImageFileLoader.h"
#include "LoaderParts.h"
#include "PictureFile.h"
#include "decoders/FrameReader.h"
#include "decoders/PictureFinish.h"

#include <QFile>
#include <new>

namespace platform {

QImage reading::finishFrame(decoders::AnimationFrame& frame, const decoders::AnimationInfo& info,
                            const decoders::DecodeContext& context) {
    decoders::Decoded decoded;
    decoded.image = std::move(frame.canvas);
    decoded.iccProfile = info.iccProfile;
    decoded.codePoints = info.codePoints;
    QImage finished = decoders::finishPicture(std::move(decoded), context);
    if (finished.isNull()) {
        throw std::bad_alloc();
    }
    return finished;
}

namespace {

// The frames read in this process: the tests', the fuzzer's and Windows'.
class InProcessFrames : public FrameStream {
  public:
    InProcessFrames(std::unique_ptr<QFile> file, qint64 maxBytes, std::stop_token stop)
        : file_(std::move(file)), context_{maxBytes}, stop_(std::move(stop)) {
        try {
            if (file_ != nullptr) {
                frames_ = decoders::openAnimation(*file_, context_);
            }
            if (frames_ != nullptr) {
                plays_ = frames_->info().plays;
                declared_ = frames_->info().frameCount;
            }
        } catch (const decoders::DecodeFailure&) {
        } catch (const std::bad_alloc&) {
        }
    }
    std::optional<Frame> next() override {
        if (frames_ == nullptr || stop_.stop_requested()) {
            return std::nullopt;
        }
        try {
            if (std::optional<decoders::AnimationFrame> frame = frames_->next()) {
                return Frame{Picture(reading::finishFrame(*frame, frames_->info(), context_)),
                             frame->delayMs};
            }
            frames_.reset();
            return std::nullopt;
        } catch (const decoders::DecodeFailure&) { // the frames before the damage stand
        } catch (const std::bad_alloc&) {
        }
        frames_.reset();
        early_ = true;
        return std::nullopt;
    }
    int plays() const override { return plays_; }
    int declaredFrames() const override { return declared_; }
    bool endedEarly() const override { return early_; }

  private:
    std::unique_ptr<QFile> file_;
    decoders::DecodeContext context_;
    std::stop_token stop_;
    std::unique_ptr<decoders::FrameReader> frames_;
    int plays_ = 0;
    int declared_ = -1;
    bool early_ = false;
};

} // namespace

std::unique_ptr<FrameStream> ImageFileLoader::openFrames(const QString& path,
                                                         std::stop_token stop) {
    auto file = std::make_unique<QFile>();
    if (openPictureFile(*file, path).end != FileOpening::Opened) {
        return std::make_unique<InProcessFrames>(nullptr, 0, stop);
    }
    if (place_ == ReadPlace::Reader && file->handle() >= 0) {
        return reading::openReaderFrames(*file, limitBytes(), std::move(stop));
    }
    return std::make_unique<InProcessFrames>(std::move(file), limitBytes(), std::move(stop));
}

} // namespace platform
