// Network: whether a text is a usable web, mail or IPv4 address.
#include <windows.h>
#include <urlmon.h>

#include <string>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace net {

namespace {

constexpr std::wstring_view kMailCharacters = L"abcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00fc1234567890.-_@";

// The general names followed by the two-letter country codes.
constexpr std::wstring_view kTopLevelDomains =
    L"com,net,edu,arpa,org,gov,museum,biz,info,pro,name,aero,coop,mil,ac,ad,ae,af,ag,ai,al,am,an,ao,aq,ar,as,at,au,"
    L"aw,az,ba,bb,bd,be,bf,bg,bh,bi,bj,bm,bn,bo,br,bs,bt,bv,bw,by,bz,ca,cc,cd,cf,cg,ch,ci,ck,cl,cm,cn,co,cr,cu,cv,cx,"
    L"cy,cz,de,dj,dk,dm,do,dz,ec,ee,eg,eh,er,es,et,fi,fj,fk,fm,fo,fr,ga,gd,ge,gf,gg,gh,gi,gl,gm,gn,gp,gq,gr,gs,gt,gu,"
    L"gw,gy,hk,hm,hn,hr,ht,hu,id,ie,il,im,in,io,iq,ir,is,it,je,jm,jo,jp,ke,kg,kh,ki,km,kn,kp,kr,kw,ky,kz,la,lb,lc,li,"
    L"lk,lr,ls,lt,lu,lv,ly,ma,mc,md,mg,mh,mk,ml,mm,mn,mo,mp,mq,mr,ms,mt,mu,mv,mw,mx,my,mz,na,nc,ne,nf,ng,ni,nl,no,np,"
    L"nr,nu,nz,om,pa,pe,pf,pg,ph,pk,pl,pm,pn,pr,ps,pt,pw,py,qa,re,ro,ru,rw,sa,sb,sc,sd,se,sg,sh,si,sj,sk,sl,sm,sn,so,"
    L"sr,st,sv,sy,sz,tc,td,tf,tg,th,tj,tk,tm,tn,to,tp,tr,tt,tv,tw,tz,ua,ug,uk,um,us,uy,uz,va,vc,ve,vg,vi,vn,vu,wf,ws,"
    L"ye,yt,yu,za,zm,zr,zw";

bool known_domain(std::wstring_view label) {
    for (size_t from = 0;;) {
        const size_t comma = kTopLevelDomains.find(L',', from);
        if (kTopLevelDomains.substr(from, comma - from) == label) return true;
        if (comma == kTopLevelDomains.npos) return false;
        from = comma + 1;
    }
}

}  // namespace

bool valid_mail(std::wstring_view mail) {
    const std::vector<std::wstring> parts = Split(mail, L"@");
    if (parts.size() != 2) return false;
    const std::vector<std::wstring> labels = Split(parts[1], L".");
    if (labels.size() < 2 || !known_domain(labels.back())) return false;
    return mail.find_first_not_of(kMailCharacters) == mail.npos;
}

// Four parts, each numeric and, rounded to a whole number, 0 to 255; a part too
// large for a Long is refused like any other out-of-range part.
bool valid_ip(std::wstring_view ip) {
    const std::vector<std::wstring> parts = Split(ip, L".");
    if (parts.size() != 4) return false;
    for (const std::wstring& part : parts) {
        DATATYPE numeric = dtNUMERIC;
        VARIANT_BOOL is_number = VARIANT_FALSE;
        long error = 0;
        check(shared<_mString>()->isValidType(Bstr(part).get(), &numeric, VARIANT_FALSE, &error, &is_number));
        if (!is_number) return false;
        long value = 0;
        try {
            value = CLng(std::wstring_view(part));
        } catch (const RuntimeError& e) {
            if (e.number() != err::Overflow) throw;
            return false;
        }
        if (value < 0 || value > 255) return false;
    }
    return true;
}

}  // namespace net

// What the platform's IsValidURL says (under some platforms it accepts any text).
HRESULT Network::ValidURL(BSTR URL, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring url(text_of(URL));
        return IsValidURL(nullptr, url.c_str(), 0) == S_OK;
    });
}

// The caller's variable is lower-cased in place, whatever the result.
HRESULT Network::isValidMail(BSTR* Mail, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!Mail) return net::valid_mail(L"");
        Bstr lower(LCase(text_of(*Mail)));
        SysFreeString(*Mail);
        *Mail = lower.detach();
        return net::valid_mail(text_of(*Mail));
    });
}

HRESULT Network::isValidIP(BSTR IP, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return net::valid_ip(text_of(IP)); });
}

}  // namespace qm
