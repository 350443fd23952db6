// The diagnostic trace: the sink for internal progress and error texts. The product discards
// them; nothing depends on what is traced, but tests may observe it.
#pragma once

#include <string_view>

namespace lq {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Trace(std::string_view text) { (void)text; }
};

// A sink that discards everything, for callers that have no Ui at hand.
TraceSink& NullTrace();

}  // namespace lq
