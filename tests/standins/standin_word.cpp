// The word processor's application object: records every call in order; opening
// a document whose name holds "fail" fails as a missing document does.
#include "standin.h"

namespace standin {

namespace {

std::wstring g_log;
CRITICAL_SECTION* log_lock() {
    static CRITICAL_SECTION cs = [] {
        CRITICAL_SECTION c;
        InitializeCriticalSection(&c);
        return c;
    }();
    return &cs;
}

void record(const std::wstring& line) {
    EnterCriticalSection(log_lock());
    g_log += line + L"\n";
    LeaveCriticalSection(log_lock());
}

std::wstring shown(const Call& call, size_t i) {
    if (i >= call.count() || is_omitted(*call.args[i])) return L"omitted";
    return text_of(*call.args[i]);
}

class Documents : public Object {
public:
    Documents() : Object({L"Open"}, 0) {}

protected:
    void invoke(DISPID, const Call& call, VARIANT*) override {
        std::wstring line = L"Open(";
        for (size_t i = 0; i < call.count(); ++i) line += (i ? L", " : L"") + shown(call, i);
        record(line + L")");
        if (lower(text_of(call.arg(0))).find(L"fail") != std::wstring::npos)
            fail(5174, L"Sorry, we couldn't find your file.");
    }
};

class Application : public Object {
public:
    Application() : Object({L"Visible", L"Documents", L"PrintOut", L"Application", L"Quit"}, 0) {}

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        switch (id) {
        case 1:
            if (call.put()) {
                visible_ = text_of(*call.value) == L"True";
                record(std::wstring(L"Visible=") + (visible_ ? L"True" : L"False"));
            } else {
                ret_bool(result, visible_);
            }
            return;
        case 2: record(L"Documents"); return ret_object(result, new Documents());
        case 3: record(L"PrintOut"); return;
        case 4:
            record(L"Application");
            AddRef();
            return ret_object(result, this);
        case 5: record(L"Quit"); return;
        }
    }

private:
    bool visible_ = true;
};

}  // namespace

IDispatch* make_word() { return new Application(); }

std::wstring word_log() {
    EnterCriticalSection(log_lock());
    std::wstring s = g_log;
    LeaveCriticalSection(log_lock());
    return s;
}

void word_reset() {
    EnterCriticalSection(log_lock());
    g_log.clear();
    LeaveCriticalSection(log_lock());
}

}  // namespace standin
