// velix-demo: the helper of scripts/sign-demo.
//
//   velix-demo keys CARD DIR PASSPHRASE NAME
//       makes a key set from the key card in DIR (secret.key protected with
//       PASSPHRASE, the public cards Public.iks and pubkeys.key, and
//       public.pem for the checker) and lists DIR/secret.key under NAME as
//       the user's chosen key (the registry of $XDG_CONFIG_HOME);
//   velix-demo request MESSAGE
//       writes the framed signMessage request a page sends for MESSAGE;
//   velix-demo check PUBLIC_PEM [DOCUMENT_OUT] < RESPONSE
//       prints the signed document of a framed velixhost response (and
//       writes it to the new file DOCUMENT_OUT) and checks its signature and
//       AUTH line with OpenSSL alone; exit 0 when both hold;
//   velix-demo prefix
//       prints this build's digest prefix in hex, as velix verify and the
//       demo's verify server take it;
//   velix-demo verify PUBLIC_PEM < DOCUMENT
//       the same checks for a signed document as a page received it.
#include <openssl/pem.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "core/core.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "host_session.h"
#include "signed_document_check.h"
#include "settings/config.h"
#include "settings/digest_prefix.h"
#include "strict_verifier_check.h"

namespace {

constexpr int kDemoKeyBits = 1024;

std::string read_all(std::istream& in) { return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}; }

int usage() {
  std::cerr << "usage: velix-demo keys CARD DIR PASSPHRASE NAME\n"
               "       velix-demo request MESSAGE\n"
               "       velix-demo check PUBLIC_PEM [DOCUMENT_OUT] < RESPONSE\n"
               "       velix-demo prefix\n"
               "       velix-demo verify PUBLIC_PEM < DOCUMENT\n";
  return 2;
}

bool write_public_pem(const std::string& path, KeyHandle* secret) {
  KeyCertRecord cert{};
  if (core_engine(ENGINE_BUILTIN)->export_secret_key(&cert, secret) != 0) return false;
  RSA* rsa = rsa_public_key(cert.n, sizeof cert.n, cert.e, sizeof cert.e);
  FILE* file = std::fopen(path.c_str(), "w");
  const bool ok = file != nullptr && PEM_write_RSA_PUBKEY(file, rsa) == 1;
  if (file != nullptr) std::fclose(file);
  RSA_free(rsa);
  return ok;
}

int make_keys(const std::string& card_path, const std::string& dir, const std::string& passphrase,
              const std::string& name) {
  std::ifstream in(card_path, std::ios::binary);
  const std::string card = read_all(in);
  core_init();
  KeyHandle secret{}, pub{};
  int rc = core_generate_keys(ENGINE_BUILTIN, card.c_str(), static_cast<int>(card.size()), &secret, &pub,
                              kDemoKeyBits);
  if (rc != 0) {
    std::cerr << "key generation from " << card_path << " failed: " << rc << "\n";
    return 1;
  }
  const std::string secret_path = dir + "/secret.key";
  bool ok = core_save_secret_key(secret_path.c_str(), passphrase.c_str(), &secret) > 0 &&
            core_store_public_card((dir + "/Public.iks").c_str(), &pub, &secret) > 0 &&
            core_store_public_card((dir + "/pubkeys.key").c_str(), &pub, &secret) > 0 &&
            write_public_pem(dir + "/public.pem", &secret);
  std::cout << "key " << secret.serial << " of \"" << secret.user_id << "\": " << secret_path << "\n";
  core_close_key(&secret);
  core_close_key(&pub);
  core_done();
  if (!ok) {
    std::cerr << "cannot write the key files in " << dir << "\n";
    return 1;
  }
  Config config;
  config.keyList.Clear();
  config.keyList.Append(name, secret_path);
  config.KeyIndex = 0;
  config.KeyType = 0;
  config.keyList.Save();
  config.Save();
  return 0;
}

int write_request(const std::string& message) {
  const QByteArray body = QJsonDocument(sign_message_request(message)).toJson(QJsonDocument::Compact);
  const uint32_t length = static_cast<uint32_t>(body.size());
  std::fwrite(&length, sizeof length, 1, stdout);
  std::fwrite(body.data(), 1, static_cast<size_t>(body.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// Checks the signature and the AUTH line of a document with OpenSSL alone.
int check_document(const std::string& document, const std::string& pem_path) {
  // The key set's own cards lie beside its public key.
  const size_t slash = pem_path.find_last_of('/');
  use_strict_verifier_cards((slash == std::string::npos ? std::string(".") : pem_path.substr(0, slash)) +
                            "/pubkeys.key");
  FILE* file = std::fopen(pem_path.c_str(), "r");
  RSA* key = file != nullptr ? PEM_read_RSA_PUBKEY(file, nullptr, nullptr, nullptr) : nullptr;
  if (file != nullptr) std::fclose(file);
  if (key == nullptr) {
    std::cerr << "cannot read the public key " << pem_path << "\n";
    return 1;
  }
  uint8_t prefix[10];
  assemble_digest_prefix(prefix);
  SignedDocument parsed;
  std::string problem;
  bool signature = false, auth = false;
  if (parse_signed_document(document, &parsed, &problem)) {
    signature = signature_verifies(parsed, key, &problem);
    std::cout << "signature (key " << parsed.serial << ", " << parsed.user_id
              << "): " << (signature ? "good" : "BAD: " + problem) << "\n";
    auth = auth_line_matches(parsed, prefix, 0, &problem);
    std::cout << "AUTH line: " << (auth ? "good" : "BAD: " + problem) << "\n";
  } else {
    std::cout << "document: BAD: " << problem << "\n";
  }
  RSA_free(key);
  return signature && auth ? 0 : 1;
}

int check_response(const std::string& pem_path, const std::string& document_out) {
  const std::string frame = read_all(std::cin);
  uint32_t length = 0;
  if (frame.size() >= 4) std::memcpy(&length, frame.data(), 4);
  if (frame.size() < 4 || frame.size() != 4 + length) {
    std::cerr << "the response is not one native-messaging frame (" << frame.size() << " bytes)\n";
    return 1;
  }
  const QJsonObject response = QJsonDocument::fromJson(QByteArray::fromStdString(frame.substr(4))).object();
  const std::string document = response["result"].toObject()["value"].toString().toStdString();
  if (document.empty()) {
    std::cerr << "nothing was signed: " << frame.substr(4) << "\n";
    return 1;
  }
  std::cout << document << "\n\n";
  if (!document_out.empty()) {
    std::ofstream out(document_out, std::ios::binary);
    out << document;
    if (!out.flush()) {
      std::cerr << "cannot write " << document_out << "\n";
      return 1;
    }
  }
  return check_document(document, pem_path);
}

int verify_document(const std::string& pem_path) { return check_document(read_all(std::cin), pem_path); }

int print_prefix() {
  uint8_t prefix[10];
  assemble_digest_prefix(prefix);
  for (const uint8_t byte : prefix) std::printf("%02x", byte);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "keys" && argc == 6) return make_keys(argv[2], argv[3], argv[4], argv[5]);
  if (command == "request" && argc == 3) return write_request(argv[2]);
  if (command == "check" && (argc == 3 || argc == 4)) return check_response(argv[2], argc == 4 ? argv[3] : "");
  if (command == "prefix" && argc == 2) return print_prefix();
  if (command == "verify" && argc == 3) return verify_document(argv[2]);
  return usage();
}
