#include "PropertyListParser.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "BinaryPlistGuard.h"
#include "Foundation/NSDictionary.h"

namespace aurora::plist {
namespace {

// Frees what libplist hands out with malloc.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};

// libplist 2.2 keeps every integer as 64 bits plus a width: 8 bytes for a
// signed value, 16 for an unsigned one above INT64_MAX. Only comparing with a
// node made from the same bits (always 8 bytes wide) shows which it is.
PropertyListValue::Storage integerOf(plist_t node) {
  std::uint64_t bits = 0;
  plist_get_uint_val(node, &bits);
  if (bits <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return static_cast<std::int64_t>(bits);
  const std::unique_ptr<void, PlistDeleter> signedProbe(plist_new_uint(bits));
  if (plist_compare_node_value(node, signedProbe.get())) return static_cast<std::int64_t>(bits);  // two's complement
  return bits;
}

class Converter {
 public:
  std::shared_ptr<const NSDictionary> dictionary(plist_t node, std::size_t depth) {
    NSDictionary::Entries entries;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    const std::unique_ptr<void, FreeDeleter> iterOwner(iter);
    for (;;) {
      char* rawKey = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, iter, &rawKey, &item);
      const std::unique_ptr<char, FreeDeleter> key(rawKey);
      if (item == nullptr) break;
      std::optional<PropertyListValue> value = convert(item, depth + 1);
      if (!value || !key) return nullptr;
      entries.insert_or_assign(std::string(key.get()), std::move(*value));  // the key's text moves into the entry
    }
    return std::make_shared<const NSDictionary>(std::move(entries));
  }

  std::optional<PropertyListValue> convert(plist_t node, std::size_t depth) {
    if (depth > NSDictionary::kMaxDepth || ++values_ > NSDictionary::kMaxValues) return std::nullopt;
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        std::uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return PropertyListValue{flag != 0};
      }
      case PLIST_UINT:
        return PropertyListValue{integerOf(node)};
      case PLIST_REAL: {
        double real = 0;
        plist_get_real_val(node, &real);
        return PropertyListValue{real};
      }
      case PLIST_STRING: {
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return PropertyListValue{text ? std::string(text, length) : std::string()};
      }
      case PLIST_DATE: {
        std::int32_t seconds = 0;
        std::int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return PropertyListValue{PropertyListDate{seconds + microseconds / 1e6}};
      }
      case PLIST_DATA: {
        std::uint64_t length = 0;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(node, &length));
        return PropertyListValue{PropertyListData{{bytes, bytes + (bytes ? length : 0)}}};
      }
      case PLIST_UID: {
        std::uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return PropertyListValue{PropertyListUID{uid}};
      }
      case PLIST_ARRAY: {
        PropertyListArray array;
        const std::uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
          std::optional<PropertyListValue> item = convert(plist_array_get_item(node, i), depth + 1);
          if (!item) return std::nullopt;
          array.push_back(std::move(*item));
        }
        return PropertyListValue{std::move(array)};
      }
      case PLIST_DICT: {
        std::shared_ptr<const NSDictionary> nested = dictionary(node, depth);
        if (!nested) return std::nullopt;
        return PropertyListValue{std::move(nested)};
      }
      default:
        return std::nullopt;
    }
  }

 private:
  std::size_t values_ = 0;
};

}  // namespace

std::shared_ptr<const NSDictionary> parseDictionary(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > NSDictionary::kMaxFileSize) return nullptr;
  const auto length = static_cast<std::uint32_t>(bytes.size());
  if (plist_is_binary(bytes.data(), length)) {
    if (!binaryPlistSafeToParse(bytes, NSDictionary::kMaxDepth, NSDictionary::kMaxValues)) return nullptr;
  } else if (bytes.find('\0') != std::string_view::npos) {
    // Never legal in an XML document; libplist would abort reading such a key.
    return nullptr;
  }
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), length, &raw);
  const std::unique_ptr<void, PlistDeleter> root(raw);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return nullptr;
  return Converter().dictionary(root.get(), 1);
}

}  // namespace aurora::plist
