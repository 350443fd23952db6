// Runtime random sources for tests: one that answers from a script and records the ranges asked
// for, and reproducible seeded ones so two contexts can be replayed against each other.
#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <utility>
#include <vector>

#include "crypto/random.h"

namespace lq::test {

// RuntimeRandom answers from a list (the range's low end once it runs dry), recording each
// requested range.
class ScriptedSource : public UniformSource {
 public:
  std::deque<uint32_t> answers;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  uint32_t Uniform(uint32_t a, uint32_t b) override {
    ranges.emplace_back(a, b);
    if (answers.empty()) return a;
    const uint32_t v = answers.front();
    answers.pop_front();
    return v;
  }
};

template <class Engine>
class SeededSourceOf : public UniformSource {
 public:
  explicit SeededSourceOf(typename Engine::result_type seed) : rng_(seed) {}
  uint32_t Uniform(uint32_t a, uint32_t b) override {
    return std::uniform_int_distribution<uint32_t>(a, b)(rng_);
  }

 private:
  Engine rng_;
};

using SeededSource = SeededSourceOf<std::mt19937>;
using SeededSource64 = SeededSourceOf<std::mt19937_64>;

}  // namespace lq::test
