#include "console/stream_sink.h"

#include <utility>

#include "platform/platform.h"

namespace kelmora::console {

StreamSink::StreamSink()
    : StreamSink([](std::string_view bytes) {
        platform::WriteStandardOutput(bytes.data(), bytes.size());
      }) {}

StreamSink::StreamSink(Output output) : output_(std::move(output)) {}

void StreamSink::Write(std::string_view bytes, std::uint8_t /*attribute*/) { output_(bytes); }

}  // namespace kelmora::console
