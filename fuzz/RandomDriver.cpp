// Runs the fuzz target without libFuzzer: a bounded number of random blocks of 1 to 2048 bytes
// from a fixed seed, most of them shaped like replies (a known code at offset 1, the end byte
// last, a plausible length byte) so that every decoding path is reached. Prints how many ran.
//   DecoderFuzz [inputs] [seed]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);
extern "C" void DecoderFuzzFinish();

int main(int argc, char** argv) {
  const long inputs = argc > 1 ? std::atol(argv[1]) : 200000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1;
  std::mt19937 random(seed);
  const std::uint8_t codes[] = {0x20, 0x21, 0x22, 0x23, 0x24, 0x12, 0x00, 0xEE};
  std::vector<std::uint8_t> block;
  std::size_t bytes = 0;
  for (long i = 0; i < inputs; ++i) {
    const unsigned shape = random() % 8;
    const std::size_t size = shape < 6 ? 1 + random() % 260 : 1 + random() % 2048;
    block.resize(size);
    for (auto& b : block) {
      b = static_cast<std::uint8_t>(random());
    }
    if (shape < 7) {
      if (size > 1) {
        block[1] = codes[random() % sizeof codes];
      }
      if (size > 2 && shape < 4) {
        block[2] = static_cast<std::uint8_t>(shape == 0 ? 0x09 : (random() % 16) * 16);
      }
      if (shape < 3) {
        for (std::size_t k = 3; k < size; ++k) {
          block[k] = random() % 4 == 0 ? 0 : block[k];  // zero bytes end texts early
        }
      }
      block.back() = 0xEE;
    }
    LLVMFuzzerTestOneInput(block.data(), block.size());
    bytes += size;
  }
  DecoderFuzzFinish();
  std::printf("DecoderFuzz: %ld inputs (%zu bytes, seed %u), no fault\n", inputs, bytes, seed);
  return 0;
}
