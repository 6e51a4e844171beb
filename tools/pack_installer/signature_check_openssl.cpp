// The host build's signature check, with OpenSSL's libcrypto for the PKCS#7
// and certificate parts. Authenticode's SignedData carries, as its content,
// an SpcIndirectDataContent:
//
//   SEQUENCE {
//     data           SEQUENCE { type OID, value ANY }   what was signed (a PE image)
//     messageDigest  DigestInfo                         its algorithm and image digest
//   }
//
// The signer's messageDigest attribute is the digest of that content's
// value octets (without its tag and length), which is what PKCS7_verify is
// given. A timestamp is an unsigned attribute of the signer: an RFC 3161
// token (1.3.6.1.4.1.311.3.3.1, what signtool /tr and osslsigncode -ts
// add) or an older PKCS#9 countersignature (signtool /t).
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <cstring>
#include <ctime>
#include <memory>

#include "tools/pack_installer/authenticode_layout.h"
#include "tools/pack_installer/signature_check.h"

namespace zevrino::desktop::packer {

namespace {

constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";
constexpr char kRfc3161TimestampOid[] = "1.3.6.1.4.1.311.3.3.1";
constexpr char kUnreadableTimestamp[] = "BROKEN: present but unreadable";
constexpr char kBrokenTimestamp[] =
    "BROKEN: present, but its own signature or its imprint of this signature fails";

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

using Pkcs7 = Owned<PKCS7, PKCS7_free>;
using Bio = Owned<BIO, BIO_free_all>;
using DigestInfo = Owned<X509_SIG, X509_SIG_free>;
using TstInfo = Owned<TS_TST_INFO, TS_TST_INFO_free>;
using SignerInfo = Owned<PKCS7_SIGNER_INFO, PKCS7_SIGNER_INFO_free>;
using DigestContext = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;

void FreeTypes(STACK_OF(ASN1_TYPE) * types) {
  sk_ASN1_TYPE_pop_free(types, ASN1_TYPE_free);
}
using Sequence = Owned<STACK_OF(ASN1_TYPE), FreeTypes>;

std::string ObjectText(const ASN1_OBJECT* object) {
  char text[80];
  const int length = OBJ_obj2txt(text, sizeof text, object, 1);
  return length > 0 && static_cast<std::size_t>(length) < sizeof text ? text : "";
}

// "CN=..., O=..." in the certificate's order, UTF-8 as it is.
std::string NameText(const X509_NAME* name) {
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || X509_NAME_print_ex(
                  bio.get(), name, 0,
                  XN_FLAG_SEP_CPLUS_SPC | (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB)) < 0) {
    return "";
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : "";
}

std::string TimeText(const ASN1_TIME* time) {
  std::tm parts{};
  char text[40];
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1 ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0) {
    return "an unreadable time";
  }
  return text;
}

// The first signer's certificate among those the SignedData carries.
X509* SignerCertificate(PKCS7* p7) {
  STACK_OF(X509)* signers = PKCS7_get0_signers(p7, nullptr, 0);
  X509* signer = sk_X509_num(signers) > 0 ? sk_X509_value(signers, 0) : nullptr;
  sk_X509_free(signers);  // the certificates belong to p7
  return signer;
}

// `data` as the content PKCS7_verify reads. OpenSSL 3.0's PKCS7_verify
// copies a memory BIO into one of its own and loses that copy when the
// SignedData names a digest it cannot set up; behind a null filter the BIO
// is not a memory BIO and stays the caller's, which frees it.
Bio ContentBio(const unsigned char* data, long length) {
  Bio memory(BIO_new_mem_buf(data, static_cast<int>(length)));
  Bio filter(memory ? BIO_new(BIO_f_null()) : nullptr);
  if (!filter) {
    return nullptr;
  }
  BIO_push(filter.get(), memory.release());
  return filter;
}

// The value octets of a DER SEQUENCE, without its tag and length.
bool SequenceContent(const ASN1_STRING* sequence, const unsigned char** content, long* length) {
  const unsigned char* p = ASN1_STRING_get0_data(sequence);
  int tag = 0, object_class = 0;
  const int flags = ASN1_get_object(&p, length, &tag, &object_class, ASN1_STRING_length(sequence));
  if ((flags & 0x80) != 0 || tag != V_ASN1_SEQUENCE ||
      *length > ASN1_STRING_length(sequence) - (p - ASN1_STRING_get0_data(sequence))) {
    return false;
  }
  *content = p;
  return true;
}

// Digests `ranges` of `file` with `md`.
bool DigestRanges(const EVP_MD* md, const std::uint8_t* file, const std::vector<ByteRange>& ranges,
                  std::vector<unsigned char>* digest) {
  DigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) {
    return false;
  }
  for (const ByteRange& range : ranges) {
    if (EVP_DigestUpdate(context.get(), file + range.offset, range.size) != 1) {
      return false;
    }
  }
  unsigned int length = 0;
  digest->resize(EVP_MAX_MD_SIZE);
  if (EVP_DigestFinal_ex(context.get(), digest->data(), &length) != 1) {
    return false;
  }
  digest->resize(length);
  return true;
}

// An RFC 3161 token: its time and authority when the token's own signature
// holds and its imprint is the digest of this signer's signature.
std::string DescribeTokenTimestamp(const ASN1_TYPE* value, const PKCS7_SIGNER_INFO* signer) {
  if (value->type != V_ASN1_SEQUENCE) {
    return kUnreadableTimestamp;
  }
  const unsigned char* p = ASN1_STRING_get0_data(value->value.sequence);
  Pkcs7 token(d2i_PKCS7(nullptr, &p, ASN1_STRING_length(value->value.sequence)));
  TstInfo info(token ? PKCS7_to_TS_TST_INFO(token.get()) : nullptr);
  if (!info) {
    return kUnreadableTimestamp;
  }
  const ASN1_OCTET_STRING* content = token->d.sign->contents->d.other->value.octet_string;
  Bio content_bio(ContentBio(ASN1_STRING_get0_data(content), ASN1_STRING_length(content)));
  const bool token_holds =
      content_bio && PKCS7_verify(token.get(), nullptr, nullptr, content_bio.get(), nullptr,
                                  PKCS7_NOVERIFY | PKCS7_BINARY) == 1;
  TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info.get());
  const EVP_MD* md = EVP_get_digestbyobj(TS_MSG_IMPRINT_get_algo(imprint)->algorithm);
  const ASN1_OCTET_STRING* expected = TS_MSG_IMPRINT_get_msg(imprint);
  std::vector<unsigned char> digest;
  const ByteRange whole{0, static_cast<std::uint64_t>(ASN1_STRING_length(signer->enc_digest))};
  const bool imprint_matches =
      md != nullptr &&
      DigestRanges(md, ASN1_STRING_get0_data(signer->enc_digest), {whole}, &digest) &&
      digest.size() == static_cast<std::size_t>(ASN1_STRING_length(expected)) &&
      std::memcmp(digest.data(), ASN1_STRING_get0_data(expected), digest.size()) == 0;
  if (!token_holds || !imprint_matches) {
    return kBrokenTimestamp;
  }
  X509* authority = SignerCertificate(token.get());
  return TimeText(TS_TST_INFO_get_time(info.get())) + " by " +
         (authority != nullptr ? NameText(X509_get_subject_name(authority))
                               : "an unnamed authority");
}

// A PKCS#9 countersignature: only its signing time is shown.
std::string DescribeCountersignature(const ASN1_TYPE* value) {
  if (value->type != V_ASN1_SEQUENCE) {
    return kUnreadableTimestamp;
  }
  const unsigned char* p = ASN1_STRING_get0_data(value->value.sequence);
  SignerInfo counter(d2i_PKCS7_SIGNER_INFO(nullptr, &p, ASN1_STRING_length(value->value.sequence)));
  const ASN1_TYPE* time =
      counter ? PKCS7_get_signed_attribute(counter.get(), NID_pkcs9_signingTime) : nullptr;
  if (time == nullptr || (time->type != V_ASN1_UTCTIME && time->type != V_ASN1_GENERALIZEDTIME)) {
    return kUnreadableTimestamp;
  }
  return TimeText(time->value.utctime) + " (a countersignature, whose signature is not checked)";
}

std::string DescribeTimestamp(PKCS7_SIGNER_INFO* signer) {
  const STACK_OF(X509_ATTRIBUTE)* attributes = signer->unauth_attr;
  for (int i = 0; i < X509at_get_attr_count(attributes); ++i) {
    X509_ATTRIBUTE* attribute = X509at_get_attr(attributes, i);
    const ASN1_OBJECT* type = X509_ATTRIBUTE_get0_object(attribute);
    const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
    if (value == nullptr) {
      continue;
    }
    if (ObjectText(type) == kRfc3161TimestampOid) {
      return DescribeTokenTimestamp(value, signer);
    }
    if (OBJ_obj2nid(type) == NID_pkcs9_countersignature) {
      return DescribeCountersignature(value);
    }
  }
  return "";
}

SignatureReport Unreadable(SignatureReport report, const std::string& problem) {
  report.state = SignatureState::kUnreadable;
  report.problem = problem;
  return report;
}

}  // namespace

SignatureReport CheckSignature(const std::uint8_t* file, std::size_t size) {
  const AuthenticodeLayout layout = ReadAuthenticodeLayout(file, size);
  SignatureReport report;
  report.signed_end = layout.table_offset;
  report.appended_size = layout.appended_size;
  if (layout.status == AuthenticodeLayout::Status::kUnsigned) {
    return report;
  }
  if (layout.status == AuthenticodeLayout::Status::kMalformed) {
    return Unreadable(report, layout.problem);
  }

  const unsigned char* p = layout.signed_data;
  Pkcs7 p7(d2i_PKCS7(nullptr, &p, static_cast<long>(layout.signed_data_size)));
  if (!p7 || !PKCS7_type_is_signed(p7.get()) || p7->d.sign->contents == nullptr ||
      ObjectText(p7->d.sign->contents->type) != kSpcIndirectDataOid ||
      p7->d.sign->contents->d.other == nullptr ||
      p7->d.sign->contents->d.other->type != V_ASN1_SEQUENCE) {
    return Unreadable(report, "the certificate table holds no Authenticode SignedData");
  }
  STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7.get());
  X509* certificate = SignerCertificate(p7.get());
  if (sk_PKCS7_SIGNER_INFO_num(signers) != 1 || certificate == nullptr) {
    return Unreadable(report,
                      "the signature does not name exactly one signer with its certificate");
  }
  report.subject = NameText(X509_get_subject_name(certificate));
  report.issuer = NameText(X509_get_issuer_name(certificate));

  // The digest the signature carries, and the one the file has now.
  const ASN1_STRING* indirect = p7->d.sign->contents->d.other->value.sequence;
  const unsigned char* q = ASN1_STRING_get0_data(indirect);
  Sequence fields(d2i_ASN1_SEQUENCE_ANY(nullptr, &q, ASN1_STRING_length(indirect)));
  const ASN1_TYPE* digest_field =
      fields && sk_ASN1_TYPE_num(fields.get()) == 2 ? sk_ASN1_TYPE_value(fields.get(), 1) : nullptr;
  const unsigned char* r = nullptr;
  DigestInfo digest_info;
  if (digest_field != nullptr && digest_field->type == V_ASN1_SEQUENCE) {
    r = ASN1_STRING_get0_data(digest_field->value.sequence);
    digest_info.reset(d2i_X509_SIG(nullptr, &r, ASN1_STRING_length(digest_field->value.sequence)));
  }
  if (!digest_info) {
    return Unreadable(report, "the signed content holds no image digest");
  }
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* signed_digest = nullptr;
  X509_SIG_get0(digest_info.get(), &algorithm, &signed_digest);
  const EVP_MD* md = EVP_get_digestbyobj(algorithm->algorithm);
  if (md == nullptr) {
    return Unreadable(report, "unknown digest algorithm " + ObjectText(algorithm->algorithm));
  }
  report.digest_algorithm = OBJ_nid2ln(EVP_MD_get_type(md));
  std::vector<unsigned char> digest;
  if (!DigestRanges(md, file, layout.digested, &digest)) {
    return Unreadable(report, "the image digest could not be computed");
  }

  // The signer's signature over the content that holds the digest.
  const unsigned char* content = nullptr;
  long content_length = 0;
  Bio content_bio(SequenceContent(indirect, &content, &content_length)
                      ? ContentBio(content, content_length)
                      : nullptr);
  if (!content_bio || PKCS7_verify(p7.get(), nullptr, nullptr, content_bio.get(), nullptr,
                                   PKCS7_NOVERIFY | PKCS7_BINARY) != 1) {
    return Unreadable(report,
                      "the signer's signature over the signed digest does not hold: the "
                      "signature itself was changed");
  }
  report.timestamp = DescribeTimestamp(sk_PKCS7_SIGNER_INFO_value(signers, 0));
  report.timestamp_broken = report.timestamp.rfind("BROKEN:", 0) == 0;
  const bool same =
      digest.size() == static_cast<std::size_t>(ASN1_STRING_length(signed_digest)) &&
      std::memcmp(digest.data(), ASN1_STRING_get0_data(signed_digest), digest.size()) == 0;
  report.state = same ? SignatureState::kIntact : SignatureState::kImageChanged;
  return report;
}

}  // namespace zevrino::desktop::packer
