// The progress window: a small form that long members show while they loop. A
// frame names the task, a message line shows the step, and a bar in a picture
// box with a percentage label shows how far the loop has come. Callers write the
// `Message` label themselves and unload the form when they are done.
#pragma once
#include <string>
#include <string_view>

#include "runtime/forms/forms.h"

namespace qm {

class ProgBar : public forms::Form {
public:
    ProgBar();
    const forms::Table& table() const override;

    // Prepares the window for positions from minimum to maximum and shows it
    // centred and topmost; failures end it silently.
    void SetOption(long minimum, long maximum, std::wstring_view frame_caption, bool show_bar, long bar_colour);
    // Moves the bar to value; failures end it silently.
    void SetValue(long value, long bar_colour);
    // The percentage that SetValue(value) shows; -1 where it would draw nothing.
    long percent_at(long value) const noexcept;

    // Positions are divided by this so that they fit the scroll bar's 16-bit range.
    long divisor() const noexcept { return divisor_; }

protected:
    void design() override;

private:
    void draw(long position, long bar_colour);
    long percent_of(long position) const noexcept;

    long divisor_ = 1;
    long scaled_min_ = 0;
    long scaled_max_ = 0;
};

// A private progress window for one member's run: loaded on demand, unloaded
// when it goes out of scope.
class ProgressWindow {
public:
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() { unload(); }

    // Loads a new instance with this window caption.
    void load(std::wstring_view caption);
    void SetOption(long minimum, long maximum, std::wstring_view frame_caption, bool show_bar, long bar_colour);
    void SetValue(long value, long bar_colour);
    // The percentage the window shows for value; -1 when it shows none (or is not loaded).
    long percent_at(long value) const noexcept { return form_ ? form_->percent_at(value) : -1; }
    // The message line, repainted at once.
    void set_message(std::wstring_view text);
    void unload() noexcept;

    ProgBar* form() const noexcept { return form_.get(); }

private:
    ComPtr<ProgBar> form_;
};

}  // namespace qm
