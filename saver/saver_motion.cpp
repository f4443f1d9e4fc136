#include "saver/saver_motion.h"

#include <algorithm>

namespace velk {

SaverLayout FitPicture(QSize picture, QSize window)
{
    if (picture.isEmpty() || window.isEmpty())
        return {};
    const double scale = std::min({1.0, window.height() / (2.0 * picture.height()),
                                   static_cast<double>(window.width()) / picture.width()});
    const QSize fitted(std::max(1, static_cast<int>(picture.width() * scale)),
                       std::max(1, static_cast<int>(picture.height() * scale)));
    return {fitted, QSize(std::max(0, window.width() - fitted.width()),
                          std::max(0, window.height() - fitted.height()))};
}

QPoint PlaceInRoom(QSize room, std::uint32_t r1, std::uint32_t r2)
{
    const auto place = [](int extent, std::uint32_t r) {
        const auto bounded = std::min(r, kSaverRandomMax);
        return static_cast<int>(static_cast<std::int64_t>(std::max(extent, 0)) * bounded /
                                kSaverRandomMax);
    };
    return {place(room.width(), r1), place(room.height(), r2)};
}

bool CSaverMotion::Tick()
{
    ++ticks_;
    if (ticks_ < kFadeFromTick)
        return false;
    if (opacity_ > 1) {
        --opacity_;
        return false;
    }
    opacity_ = kOpaque;
    ticks_ = 0;
    return true;
}

} // namespace velk
