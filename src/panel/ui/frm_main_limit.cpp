// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's gain limit on the panel's gestures. A move is judged by the codes it would
// leave Left and Right with before any slider is touched: the coupling's placement sends each
// channel its final code in turn while the other still holds a code the limit allowed, so no
// frame in between can carry a higher one.

#include <QSignalBlocker>
#include <algorithm>
#include <optional>
#include <utility>

#include "control/instrument.h"
#include "gain/mod_pub_share.h"
#include "panel/ui/frm_main.h"
#include "panel/ui/frm_main_controls.h"

namespace selvar::panel {

namespace {

std::string dbText(int code) {
    return modPubShare::signedChannelDb(code) + " dB";
}

}  // namespace

LeftRight frmMain::codesAfter(GainSlider slider, int value) const {
    const int left = c_->sldLt0->value();
    const int right = c_->sldRt0->value();
    switch (slider) {
        case GainSlider::Left:
            return {value, right};
        case GainSlider::Right:
            return {left, value};
        case GainSlider::Gang: {
            const LeftRight lr = panel::projectOntoLeftRight(value, c_->sldSkw0->value());
            return placedCodes(panel::setLeftRightKeepGang(lr.left, lr.right));
        }
        case GainSlider::Pan:
            break;
    }
    const LeftRight lr = panel::projectOntoLeftRight(c_->sldLvl0->value(), value);
    return placedCodes(panel::setLeftRightKeepPan(lr.left, lr.right));
}

// The channel the codes take above the limit, and its code; none when both keep within it.
std::optional<std::pair<std::string, int>> frmMain::overLimit(LeftRight codes) const {
    const int highest = link_.highestCode();
    const bool left = codes.left > highest;
    if (!left && codes.right <= highest) {
        return std::nullopt;
    }
    return std::pair{"DUT" + std::to_string(link_.dutOf(*this)) + (left ? " Left" : " Right"),
                     left ? codes.left : codes.right};
}

std::string frmMain::refusalOf(LeftRight codes) const {
    const auto over = overLimit(codes);
    return over ? over->first + " would be " + dbText(over->second) + ", above the gain limit " +
                      dbText(link_.highestCode())
                : std::string();
}

std::string frmMain::limitRefusal(GainSlider slider, int value) const {
    return refusalOf(codesAfter(slider, value));
}

// The status line shows the limit already: the news names only the gesture and the channel.
bool frmMain::refused(LeftRight codes, const std::string& gesture) {
    const auto over = overLimit(codes);
    if (over) {
        link_.reportLimit(gesture + ": " + over->first + " " + dbText(over->second));
    }
    return over.has_value();
}

// A drag stops where the limit is, as at the slider's end: the handle never shows a gain that
// was not sent, and the drag goes on working below it. A refuse-and-snap-back would make the
// handle flicker between the pointer and the old place on every mouse move.
int frmMain::reachable(GainSlider slider, int proposed) {
    if (!refused(codesAfter(slider, proposed), "Drag held")) {
        return proposed;
    }
    const int from = sliderOf(slider).value();
    const int direction = proposed > from ? 1 : -1;
    int last = from;
    for (int value = from + direction; value != proposed; value += direction) {
        if (overLimit(codesAfter(slider, value))) {
            break;
        }
        last = value;
    }
    return last;
}

void frmMain::lowerInitialGains(int highest) {
    for (platform::Slider* slider : {c_->sldLt0, c_->sldRt0}) {
        const QSignalBlocker quiet(slider);
        slider->setValue(std::min(slider->value(), highest));
    }
    lblLt0_Change();
    lblRt0_Change();
    projectOntoGangPan();
}

frmMain::GainSlider frmMain::gainSliderOf(const platform::Slider& slider) const {
    if (&slider == c_->sldLt0) {
        return GainSlider::Left;
    }
    if (&slider == c_->sldRt0) {
        return GainSlider::Right;
    }
    return &slider == c_->sldLvl0 ? GainSlider::Gang : GainSlider::Pan;
}

}  // namespace selvar::panel
