#include "webinstall/authenticode_win.h"

// clang-format off
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
// clang-format on

#include <cstring>
#include <string>
#include <vector>

#include "windows/system_library_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::uint32_t kFail = 0x80004005;  // E_FAIL
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct TrustApi {
  decltype(&::WinVerifyTrust) verify_trust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) provider_data = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) provider_signer = nullptr;
  decltype(&::CryptQueryObject) query_object = nullptr;
  decltype(&::CryptMsgGetParam) message_parameter = nullptr;
  decltype(&::CryptMsgClose) close_message = nullptr;
  decltype(&::CertFindCertificateInStore) find_certificate = nullptr;
  decltype(&::CertFreeCertificateContext) free_certificate = nullptr;
  decltype(&::CertCloseStore) close_store = nullptr;
  decltype(&::CertGetNameStringW) name_string = nullptr;
  decltype(&::CertGetEnhancedKeyUsage) key_usage = nullptr;
};

template <typename Function>
bool Find(const wchar_t* library, const char* name, Function* function) {
  *function = GetSystemFunction<Function>(library, name);
  return *function != nullptr;
}

const TrustApi* LoadTrustApi() {
  static TrustApi api;
  const bool complete =
      Find(L"wintrust.dll", "WinVerifyTrust", &api.verify_trust) &&
      Find(L"wintrust.dll", "WTHelperProvDataFromStateData", &api.provider_data) &&
      Find(L"wintrust.dll", "WTHelperGetProvSignerFromChain", &api.provider_signer) &&
      Find(L"crypt32.dll", "CryptQueryObject", &api.query_object) &&
      Find(L"crypt32.dll", "CryptMsgGetParam", &api.message_parameter) &&
      Find(L"crypt32.dll", "CryptMsgClose", &api.close_message) &&
      Find(L"crypt32.dll", "CertFindCertificateInStore", &api.find_certificate) &&
      Find(L"crypt32.dll", "CertFreeCertificateContext", &api.free_certificate) &&
      Find(L"crypt32.dll", "CertCloseStore", &api.close_store) &&
      Find(L"crypt32.dll", "CertGetNameStringW", &api.name_string) &&
      Find(L"crypt32.dll", "CertGetEnhancedKeyUsage", &api.key_usage);
  return complete ? &api : nullptr;
}

// Loaded on first use and kept until the process ends; null when a DLL or
// a function is missing.
const TrustApi* GetTrustApi() {
  static const TrustApi* const api = LoadTrustApi();
  return api;
}

// The first subject attribute of type `oid` (an RDN attribute such as the
// common name), empty when there is none.
std::string SubjectAttribute(const TrustApi& api, PCCERT_CONTEXT certificate, const char* oid) {
  // CertGetNameStringW takes the attribute's OID through its void* argument.
  void* type = const_cast<char*>(oid);
  const DWORD size = api.name_string(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
  if (size <= 1) {
    return std::string();
  }
  std::wstring value(size, L'\0');
  api.name_string(certificate, CERT_NAME_ATTR_TYPE, 0, type, value.data(), size);
  value.resize(size - 1);
  return WideToUtf8(value);
}

SignerNames NamesOf(const TrustApi& api, PCCERT_CONTEXT certificate) {
  return SignerNames{SubjectAttribute(api, certificate, szOID_COMMON_NAME),
                     SubjectAttribute(api, certificate, szOID_ORGANIZATION_NAME)};
}

// Whether the certificate's own extended key usage lets it sign code: no
// such extension (every usage), or one that lists code signing. Asked only
// of the extension: the system reports its absence as CRYPT_E_NOT_FOUND,
// by failing (Wine) or with no usage listed.
bool MaySignCode(const TrustApi& api, PCCERT_CONTEXT certificate) {
  constexpr DWORD kEveryUsage = static_cast<DWORD>(CRYPT_E_NOT_FOUND);
  DWORD size = 0;
  if (!api.key_usage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size)) {
    return ::GetLastError() == kEveryUsage;
  }
  std::vector<std::uint8_t> buffer(size);
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
  ::SetLastError(ERROR_SUCCESS);
  if (!api.key_usage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) {
    return ::GetLastError() == kEveryUsage;
  }
  if (usage->cUsageIdentifier == 0) {
    return ::GetLastError() == kEveryUsage;
  }
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
    if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_CODE_SIGNING) == 0) {
      return true;
    }
  }
  return false;
}

// The state WinVerifyTrust keeps between its verify and close actions.
class TrustState {
 public:
  TrustState(const TrustApi& api, HANDLE file, const std::wstring& path) : api_(api) {
    file_info_.cbStruct = sizeof file_info_;
    file_info_.pcwszFilePath = path.c_str();
    file_info_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  }
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    api_.verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

  LONG Verify() {
    return api_.verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

  // The first signer as the check saw it; null when there is none.
  CRYPT_PROVIDER_SGNR* Signer() const {
    CRYPT_PROVIDER_DATA* provider =
        data_.hWVTStateData != nullptr ? api_.provider_data(data_.hWVTStateData) : nullptr;
    return provider != nullptr ? api_.provider_signer(provider, 0, FALSE, 0) : nullptr;
  }

 private:
  const TrustApi& api_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info_ = {};
  WINTRUST_DATA data_ = {};
};

}  // namespace

SignatureCheck CheckFileSignature(HANDLE file, const std::wstring& path) {
  SignatureCheck check;
  const TrustApi* api = GetTrustApi();
  if (api == nullptr) {
    check.result = kFail;
    return check;
  }
  TrustState state(*api, file, path);
  check.result = static_cast<std::uint32_t>(state.Verify());
  const CRYPT_PROVIDER_SGNR* signer = state.Signer();
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
      signer->pasCertChain[0].pCert == nullptr) {
    return check;
  }
  check.signer = NamesOf(*api, signer->pasCertChain[0].pCert);
  check.may_sign_code = MaySignCode(*api, signer->pasCertChain[0].pCert);
  // Without a chain there is nothing that shows the signer is trusted.
  check.chain_status = signer->pChainContext != nullptr
                           ? signer->pChainContext->TrustStatus.dwErrorStatus
                           : CERT_TRUST_IS_PARTIAL_CHAIN;
  return check;
}

std::optional<SignerNames> EmbeddedSigner(const std::wstring& path) {
  const TrustApi* api = GetTrustApi();
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (api == nullptr ||
      !api->query_object(CERT_QUERY_OBJECT_FILE, path.c_str(),
                         CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                         0, nullptr, nullptr, nullptr, &store, &message, nullptr)) {
    return std::nullopt;
  }
  std::optional<SignerNames> names;
  DWORD size = 0;
  if (api->message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) && size != 0) {
    std::vector<std::uint8_t> buffer(size);
    if (api->message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size)) {
      const auto* signer_info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
      CERT_INFO wanted = {};
      wanted.Issuer = signer_info->Issuer;
      wanted.SerialNumber = signer_info->SerialNumber;
      PCCERT_CONTEXT certificate =
          api->find_certificate(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
      if (certificate != nullptr) {
        names = NamesOf(*api, certificate);
        api->free_certificate(certificate);
      }
    }
  }
  api->close_message(message);
  api->close_store(store, 0);
  return names;
}

}  // namespace zevrino::desktop::installer
