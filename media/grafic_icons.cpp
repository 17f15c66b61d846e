// Grafic: the icons of a file, icon-sized pictures and the image list. The
// image list is one hidden worker form tagged "vListImage", found by its tag
// by every Grafic instance of the thread; its pictures sit in the picture-box
// array vPic, element i + 1 holding the client's image i (element 0 is the
// design one and holds none). The form unloads itself when the list is empty.
#include <windows.h>
#include <shellapi.h>

#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "media/grafic.h"
#include "runtime/contract.h"
#include "runtime/forms/forms.h"

namespace qm {

namespace {

constexpr const wchar_t* kListTag = L"vListImage";
constexpr const wchar_t* kListArray = L"vPic";

// The loaded image-list form, as Forms.Find_Form finds it by its tag.
MyControls* list_form(ComPtr<IDispatch>& found) {
    IDispatch* all = &forms::forms_collection();
    FormOption by = ffFormTag;
    VARIANT_BOOL exact = VARIANT_TRUE;
    long error = 0, index = -1;
    found.reset();
    check(shared<_Forms>()->Find_Form(&all, Bstr(kListTag).get(), &by, found.put(), &exact, &error, &index));
    return index >= 0 && found ? dynamic_cast<MyControls*>(forms::object_of(found.get())) : nullptr;
}

// The highest loaded element of the list's array: the number of images.
long image_count(const MyControls& form) {
    long top = 0;
    for (const auto& c : form.controls())
        if (c->index() > top && c->name() == kListArray) top = c->index();
    return top;
}

forms::PictureBox& element(MyControls& form, long n) { return form.get<forms::PictureBox>(kListArray, n); }

// A client index of a stored image, else 340 (no such element).
void check_image(const MyControls& form, long index) {
    if (index < 0 || index >= image_count(form)) raise(forms::ferr::NoSuchElement);
}

bool is_icon_size(long size) { return size == is16x16 || size == is24x24 || size == is32x32 || size == is48x48; }

}  // namespace

HRESULT Grafic::Get_FileIconCount(BSTR File, long* result) {
    return untrapped(result, [&] {
        const std::wstring path(text_of(File));
        HICON count = ExtractIconW(reinterpret_cast<HINSTANCE>(1), path.c_str(), static_cast<UINT>(-1));
        return static_cast<long>(reinterpret_cast<LONG_PTR>(count));
    });
}

HRESULT Grafic::Get_IconFromFile(BSTR File, long IconNumber, long* ErrorNumber, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Grafic, L"Get_IconFromFile", ErrorNumber}, [&] {
        auto set_error = [&](long number) {
            if (ErrorNumber) *ErrorNumber = number;
        };
        VARIANT_BOOL exists = VARIANT_FALSE;
        long exist_error = 0;
        check(shared<_File>()->Exist(File, &exist_error, &exists));
        if (!exists) return set_error(-2);
        WorkerForm worker(L"Get_IconFromFile");
        forms::PictureBox& box = worker.box();
        forms::Surface& surface = *box.surface();
        const bool redraw = surface.auto_redraw();
        surface.set_auto_redraw(true);
        const std::wstring path(text_of(File));
        // Index -1 asks for the count, and 1 stands for a file without icons: no icon either way.
        HICON icon = IconNumber == -1 ? nullptr : ExtractIconW(nullptr, path.c_str(), static_cast<UINT>(IconNumber));
        if (!icon || reinterpret_cast<UINT_PTR>(icon) == 1) return set_error(-1);
        const bool drawn = DrawIcon(surface.hdc(), 0, 0, icon);
        DestroyIcon(icon);
        if (drawn) *result = surface.image().detach();
        surface.set_auto_redraw(redraw);
        box.refresh();
        Wait_DoEvents(0);
    });
}

HRESULT Grafic::PictureToIcon(IPictureDisp** Picture, IconSize* Size, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        if (!Size) raise(err::InvalidCall);
        WorkerForm worker(L"PictureToIcon");
        forms::PictureBox& box = worker.box();
        box.surface()->set_scale_mode(3);
        box.set_auto_size(false);
        box.set_picture(Picture ? *Picture : nullptr);
        box.set_height(static_cast<float>(*Size));  // outer size in the form's twips
        box.set_width(static_cast<float>(*Size));
        IDispatch* disp = &box;
        long stretched = 0;
        check(StretchToPicBox(&disp, &stretched));
        if (stretched == 0) *result = box.surface()->image().detach();
    });
}

HRESULT Grafic::vListImage(vImageListCommand* Command, long* Index, IPictureDisp** Picture, vImageListNfo* Dimension,
                           IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        ComPtr<IDispatch> found;
        MyControls* form = list_form(found);
        if (!form) {
            ComPtr<MyControls> made = forms::make<MyControls>();
            made->load();
            made->set_tag(kListTag);
            form = list_form(found);
            if (!form) raise(err::InternalError);
        }
        ComPtr<MyControls> keep(form);
        const long command = Command ? *Command : 0;
        long index_value = Index ? *Index : 0;
        try {
            switch (command) {
            case viADD: {
                const long n = image_count(*form) + 1;
                forms::PictureBox& box = static_cast<forms::PictureBox&>(form->load_element(kListArray, n));
                const long size = Dimension ? *Dimension : 0;
                if (Picture && is_icon_size(size)) {
                    IconSize icon_size = static_cast<IconSize>(size);
                    ComPtr<IPictureDisp> small;
                    check(PictureToIcon(Picture, &icon_size, small.put()));
                    if (*Picture) (*Picture)->Release();
                    *Picture = small.detach();  // the client's variable takes the small picture
                }
                box.set_picture(Picture ? *Picture : nullptr);
                index_value = n - 1;
                break;
            }
            case viGET:
                check_image(*form, index_value);
                *result = element(*form, index_value + 1).surface()->picture().detach();
                break;
            case viDELETE: {
                check_image(*form, index_value);
                const long top = image_count(*form);
                for (long i = index_value + 2; i <= top; ++i)
                    element(*form, i - 1).set_picture(element(*form, i).surface()->picture().get());
                form->unload_element(kListArray, top);
                break;
            }
            case viCLEAR:
                form->unload();
                return;
            case viITEMCOUNT:
                index_value = image_count(*form);
                break;
            default:
                break;
            }
        } catch (...) {
            if (form->loaded() && image_count(*form) == 0) form->unload();
            throw;
        }
        if (Index) *Index = index_value;
        if (image_count(*form) == 0) form->unload();
    });
}

}  // namespace qm
