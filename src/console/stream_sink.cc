#include "console/stream_sink.h"

#include "platform/platform.h"

namespace kelmora::console {

void StreamSink::Write(std::string_view bytes, std::uint8_t /*attribute*/) {
  platform::WriteStandardOutput(bytes.data(), bytes.size());
}

}  // namespace kelmora::console
