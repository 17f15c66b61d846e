#include "frame/classes.h"

#include <new>

#include "controls/controls.h"
#include "controls/dialog.h"
#include "controls/lb_cb.h"
#include "controls/rtf.h"
#include "files/database.h"
#include "files/directory.h"
#include "files/drive.h"
#include "files/file.h"
#include "files/ini.h"
#include "files/office.h"
#include "files/registry.h"
#include "files/shell.h"
#include "files/text.h"
#include "frame/arry.h"
#include "frame/mathematics.h"
#include "frame/misc.h"
#include "frame/mstring.h"
#include "media/grafic.h"
#include "media/multimedia.h"
#include "system/ftp.h"
#include "system/hardware.h"
#include "system/network.h"
#include "system/system.h"
#include "windows/desktop.h"
#include "windows/forms.h"
#include "windows/menu.h"
#include "windows/window.h"

namespace qm {

namespace {

template <class T>
HRESULT create(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

#define QM_CLASS(name, shared) {L## #name, &CLSID_##name, &IID__##name, shared, &create<qm::name>}

constexpr ClassEntry kClasses[] = {
    QM_CLASS(DataBase, false), QM_CLASS(Office, false), QM_CLASS(Arry, true),      QM_CLASS(Controls, true),
    QM_CLASS(Dialog, true),    QM_CLASS(FTP, false),    QM_CLASS(Hardware, true),  QM_CLASS(mString, true),
    QM_CLASS(Desktop, true),   QM_CLASS(Mathematics, true), QM_CLASS(Forms, true), QM_CLASS(Multimedia, true),
    QM_CLASS(Misc, true),      QM_CLASS(Menu, true),    QM_CLASS(INI, true),       QM_CLASS(LB_CB, true),
    QM_CLASS(RTF, true),       QM_CLASS(Grafic, true),  QM_CLASS(Text, true),      QM_CLASS(Registry, true),
    QM_CLASS(Network, true),   QM_CLASS(Shell, true),   QM_CLASS(Drive, true),     QM_CLASS(System, true),
    QM_CLASS(Directory, true), QM_CLASS(File, true),    QM_CLASS(Window, true),
};

#undef QM_CLASS

}  // namespace

std::span<const ClassEntry> classes() noexcept { return kClasses; }

const ClassEntry* find_class(REFCLSID clsid) noexcept {
    for (const auto& c : kClasses)
        if (IsEqualCLSID(*c.clsid, clsid)) return &c;
    return nullptr;
}

const ClassEntry* find_class_by_interface(REFIID iid) noexcept {
    for (const auto& c : kClasses)
        if (IsEqualIID(*c.iid, iid)) return &c;
    return nullptr;
}

}  // namespace qm
