#include "comserver/posix/type_description.h"

#include "comserver/guids.h"
#include "comserver/isigner.h"
#include "comserver/posix/member_invoker.h"

namespace {

using K = MemberKind;

// IUnknown and IDispatch take slots 0 to 6.
constexpr int kFirstSlot = 7;

const MemberDescription kISignerMembers[] = {
    {1, "SignMessage", K::kMethod, kFirstSlot + 0, "method SignMessage", {{"szMessage", VT_BSTR}}, 1, "pszResult", VT_BSTR, &invoke_member<&ISigner::SignMessage>},
    {2, "Customer", K::kPropertyGet, kFirstSlot + 1, "property Customer", {}, 0, "pVal", VT_I4, &invoke_member<&ISigner::get_Customer>},
    {2, "Customer", K::kPropertyPut, kFirstSlot + 2, "property Customer", {{nullptr, VT_I4}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_Customer>},
    {3, "Operator", K::kPropertyGet, kFirstSlot + 3, "property Operator", {}, 0, "pVal", VT_I4, &invoke_member<&ISigner::get_Operator>},
    {3, "Operator", K::kPropertyPut, kFirstSlot + 4, "property Operator", {{nullptr, VT_I4}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_Operator>},
    {4, "Session", K::kPropertyGet, kFirstSlot + 5, "property Session", {}, 0, "pVal", VT_BSTR, &invoke_member<&ISigner::get_Session>},
    {4, "Session", K::kPropertyPut, kFirstSlot + 6, "property Session", {{nullptr, VT_BSTR}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_Session>},
    {5, "GetStatement", K::kMethod, kFirstSlot + 7, "method GetStatement", {{"szFrom", VT_BSTR}, {"szTo", VT_BSTR}}, 2, "pszRequest", VT_BSTR, &invoke_member<&ISigner::GetStatement>},
    {6, "DecryptMessage", K::kMethod, kFirstSlot + 8, "method DecryptMessage", {{"szMessage", VT_BSTR}, {"bShowResult", VT_I4}}, 2, "pszResult", VT_BSTR, &invoke_member<&ISigner::DecryptMessage>},
    {7, "ChangeUser", K::kMethod, kFirstSlot + 9, "method ChangeUser", {}, 0, nullptr, VT_EMPTY, &invoke_member<&ISigner::ChangeUser>},
    {8, "EditKeys", K::kMethod, kFirstSlot + 10, "method EditKeys", {}, 0, nullptr, VT_EMPTY, &invoke_member<&ISigner::EditKeys>},
    {9, "Reset", K::kMethod, kFirstSlot + 11, "method Reset", {}, 0, nullptr, VT_EMPTY, &invoke_member<&ISigner::Reset>},
    {10, "useUtf8", K::kPropertyGet, kFirstSlot + 12, "property useUtf8", {}, 0, "pVal", VT_BOOL, &invoke_member<&ISigner::get_useUtf8>},
    {10, "useUtf8", K::kPropertyPut, kFirstSlot + 13, "property useUtf8", {{nullptr, VT_BOOL}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_useUtf8>},
    {11, "UseScreenKbd", K::kPropertyGet, kFirstSlot + 14, "property UseScreenKbd", {}, 0, "pVal", VT_INT, &invoke_member<&ISigner::get_UseScreenKbd>},
    {11, "UseScreenKbd", K::kPropertyPut, kFirstSlot + 15, "property UseScreenKbd", {{nullptr, VT_INT}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_UseScreenKbd>},
    {12, "SignFile", K::kMethod, kFirstSlot + 16, "method SignFile", {{"szFileName", VT_BSTR}}, 1, "pszResult", VT_BSTR, &invoke_member<&ISigner::SignFile>},
    {13, "Language", K::kPropertyGet, kFirstSlot + 17, "get current GUI language", {}, 0, "pszResult", VT_BSTR, &invoke_member<&ISigner::get_Language>},
    {13, "Language", K::kPropertyPut, kFirstSlot + 18, "set GUI language", {{nullptr, VT_BSTR}}, 1, nullptr, VT_EMPTY, &invoke_member<&ISigner::put_Language>},
    {14, "Error", K::kPropertyGet, kFirstSlot + 19, "get error if has", {}, 0, "pVal", VT_INT, &invoke_member<&ISigner::get_Error>},
};

const InterfaceDescription kISigner = {"ISigner", &IID_ISigner, "ISigner Interface", kISignerMembers};

const LibraryDescription kLibrary = {
    "velixcomLib2", &LIBID_velixcomLib2, 1, 0, 0, "velixcom 1.0 Type Library",
    "Signer2",      &CLSID_Signer2,      "Signer2 Class", &kISigner,
};

}  // namespace

const LibraryDescription& velixcom_type_library() { return kLibrary; }
const InterfaceDescription& isigner_description() { return kISigner; }
