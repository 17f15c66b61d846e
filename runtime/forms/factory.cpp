// Controls made by their TypeName, as a host places them at run time.
#include "runtime/forms/hosted.h"

namespace qm::forms {

namespace {
template <class T, class... A>
ComPtr<Control> made(A... a) {
    ComPtr<T> c = make<T>(a...);
    return ComPtr<Control>(c.get());
}

bool same(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}
}  // namespace

ComPtr<Control> new_control(std::wstring_view type) {
    struct Kind {
        const wchar_t* name;
        ComPtr<Control> (*make)();
    };
    static const Kind kinds[] = {
        {L"Label", [] { return made<Label>(); }},
        {L"TextBox", [] { return made<TextBox>(); }},
        {L"CommandButton", [] { return made<Button>(Button::Command); }},
        {L"CheckBox", [] { return made<Button>(Button::Check); }},
        {L"OptionButton", [] { return made<Button>(Button::Option); }},
        {L"Frame", [] { return made<Frame>(); }},
        {L"ListBox", [] { return made<ListBox>(); }},
        {L"ComboBox", [] { return made<ComboBox>(); }},
        {L"HScrollBar", [] { return made<HScrollBar>(); }},
        {L"Timer", [] { return made<Timer>(); }},
        {L"PictureBox", [] { return made<PictureBox>(); }},
        {L"Image", [] { return made<Image>(); }},
        {L"Shape", [] { return made<Shape>(); }},
        {L"Line", [] { return made<Line>(); }},
        {L"TreeView", [] { return made<TreeView>(); }},
        {L"ListView", [] { return made<ListView>(); }},
        {L"StatusBar", [] { return made<StatusBar>(); }},
        {L"ProgressBar", [] { return made<ProgressBar>(); }},
        {L"RichTextBox", [] { return made<RichTextBox>(); }},
        {L"DriveListBox", [] { return made<DriveListBox>(); }},
        {L"FlexGrid", [] { return made<FlexGrid>(); }},
        {L"DataGrid", [] { return made<DataGrid>(); }},
        {L"WebBrowser", [] { return made<WebBrowser>(); }},
    };
    for (const auto& k : kinds)
        if (same(k.name, type)) return k.make();
    return {};
}

}  // namespace qm::forms
