#include "demo/directory_service.h"

#include <mutex>
#include <random>

#include "base/text.h"
#include "binding/payload_cipher.h"
#include "data/json_document.h"

namespace quorvel::demo {
namespace {

std::string percent_decoded(std::string_view text) {
  const auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

constexpr std::string_view kSeparator = ":@|";
constexpr std::string_view kQueryKey = "?data=";

std::string random_key() {
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  const std::lock_guard<std::mutex> lock(mutex);
  return std::to_string(std::uniform_int_distribution<int>(10000, 99999)(generator));
}

// Only what the demo writes itself goes into these texts, so quoting is
// not needed beyond the characters JSON forbids.
std::string refusal(std::string_view code, std::string_view message_utf8) {
  return "{\"code\":\"" + std::string(code) + "\",\"msg\":\"" + std::string(message_utf8) + "\"}";
}

}  // namespace

DirectoryService::DirectoryService(std::string server_number, std::string site_address,
                                   std::function<std::string()> next_key)
    : server_number_(std::move(server_number)),
      site_address_(std::move(site_address)),
      next_key_(next_key ? std::move(next_key) : random_key) {}

std::string DirectoryService::enciphered(const std::string& json_utf8) {
  const std::string key = next_key_();
  const std::string answer = key + std::string(kSeparator) +
                             to_utf8(encipher_payload(from_utf8(json_utf8), from_utf8(key)));
  // Both answer forms occur: every other answer comes in double quotes.
  return (answers_.fetch_add(1) % 2 == 1) ? "\"" + answer + "\"" : answer;
}

DirectoryReply DirectoryService::answer(std::string_view raw_target) {
  const std::size_t query = raw_target.find('?');
  if (raw_target.substr(0, query) != kLookupPath) return {404, "not found"};
  // The value runs to the end. The client does not URL-encode it, so "+",
  // "/" and the "=" of the Base64 padding stand as they are; but an HTTP
  // service may escape characters such as the "|" of the separator (the
  // Windows one does), so %XX escapes are decoded, as web servers do.
  const std::size_t value_at = raw_target.find(kQueryKey);
  const std::string decoded = percent_decoded(
      value_at == std::string_view::npos ? std::string_view() : raw_target.substr(value_at + 6));
  const std::string_view value = decoded;
  const std::size_t separator = value.find(kSeparator);
  if (separator == std::string_view::npos) {
    return {200, enciphered(refusal("400", "请求格式不正确"))};
  }
  const Text key = from_utf8(value.substr(0, separator));
  const Text cipher = from_utf8(value.substr(separator + kSeparator.size()));
  const Text payload = decipher_payload(cipher, key);
  if (payload.empty()) return {200, enciphered(refusal("400", "请求数据无法解析"))};
  JsonDocument document;
  document.parse(payload);
  const std::string number = to_utf8(document.get_text("domainid"));
  if (number.empty() || number != server_number_) {
    return {200, enciphered(refusal("404", "服务器编号不存在，请核对后重新输入"))};
  }
  return {200, enciphered("{\"code\":\"200\",\"msg\":\"ok\",\"data\":\"" + site_address_ + "\"}")};
}

std::string lookup_target(std::string_view server_number, std::string_view key) {
  const Text payload = from_utf8("{\"domainid\":\"" + std::string(server_number) + "\"}");
  return std::string(kLookupPath) + std::string(kQueryKey) + std::string(key) +
         std::string(kSeparator) + to_utf8(encipher_payload(payload, from_utf8(key)));
}

}  // namespace quorvel::demo
