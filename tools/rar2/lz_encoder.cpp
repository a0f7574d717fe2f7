#include "lz_encoder.h"

#include "lazy_parser.h"
#include "optimal_parser.h"

namespace klx::rar2tool {

std::unique_ptr<LzEncoder> MakeLzEncoder(int method) {
  switch (method) {
    case 1: return std::make_unique<LazyParser>(LazyParser::Settings{4, 32, false});
    case 2: return std::make_unique<LazyParser>(LazyParser::Settings{16, 64, false});
    case 3: return std::make_unique<LazyParser>(LazyParser::Settings{32, 128, true});
    case 4: return std::make_unique<OptimalParser>(OptimalParser::Settings{48, 64, 2});
    default: return std::make_unique<OptimalParser>(OptimalParser::Settings{256, 128, 3});
  }
}

}  // namespace klx::rar2tool
