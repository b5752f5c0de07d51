#include "host/TraceIds.h"

namespace host {

const std::string& TraceIds::add(std::uint64_t serial) { return addNamed(serial, prefix_ + std::to_string(++count_)); }

const std::string& TraceIds::addNamed(std::uint64_t serial, std::string name) {
  return ids_.insert_or_assign(serial, std::move(name)).first->second;
}

const std::string* TraceIds::find(std::uint64_t serial) const {
  auto it = ids_.find(serial);
  return it == ids_.end() ? nullptr : &it->second;
}

}  // namespace host
