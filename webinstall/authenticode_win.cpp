#include "webinstall/authenticode_win.h"

// clang-format off
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
// clang-format on

#include <vector>

#include "installer/system_library_win.h"

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
      Find(L"crypt32.dll", "CertCloseStore", &api.close_store);
  return complete ? &api : nullptr;
}

// Loaded on first use and kept until the process ends; null when a DLL or
// a function is missing.
const TrustApi* GetTrustApi() {
  static const TrustApi* const api = LoadTrustApi();
  return api;
}

SignerNames NamesOf(PCCERT_CONTEXT certificate) {
  const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
  const CERT_NAME_BLOB& issuer = certificate->pCertInfo->Issuer;
  return SignerNames{{subject.pbData, subject.pbData + subject.cbData},
                     {issuer.pbData, issuer.pbData + issuer.cbData}};
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
  check.signer = NamesOf(signer->pasCertChain[0].pCert);
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
        names = NamesOf(certificate);
        api->free_certificate(certificate);
      }
    }
  }
  api->close_message(message);
  api->close_store(store, 0);
  return names;
}

}  // namespace zevrino::desktop::installer
