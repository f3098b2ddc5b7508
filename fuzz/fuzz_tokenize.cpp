// Fuzz target of tokenize: any bytes (not only UTF-8) give the words that a byte-by-byte reading
// gives: A-Z lower-cased, a-z kept, every other byte a separator. tokenize throws nothing. Then
// vectorize of the text over a vocabulary of its own most frequent words gives the counts (or
// presence flags) that counting those words directly gives.
#include <string>
#include <string_view>
#include <vector>

#include "core/text.hpp"
#include "harness.hpp"

namespace {

tarnwick::Tokens words_of(std::string_view text) {
  tarnwick::Tokens out;
  std::string word;
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') {
      word += char(b - 'A' + 'a');
    } else if (b >= 'a' && b <= 'z') {
      word += char(b);
    } else if (!word.empty()) {
      out.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) out.push_back(std::move(word));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::Tokens got;
  try {
    got = tarnwick::tokenize(text);
  } catch (const std::exception& e) {
    tarnwick::fuzz::fault(std::string("tokenize threw: ") + e.what());
  }
  if (got != words_of(text)) tarnwick::fuzz::fault("tokenize: the words differ from a byte-by-byte reading");

  constexpr int kColumns = 8;
  const std::vector<tarnwick::Tokens> documents{got};
  const tarnwick::Vocabulary vocab = tarnwick::build_vocab(documents, kColumns);
  for (const bool counts : {false, true}) {
    std::vector<int> want(kColumns, 0);
    for (const std::string& word : got) {
      const auto it = vocab.find(word);
      if (it != vocab.end()) want[std::size_t(it->second)] = counts ? want[std::size_t(it->second)] + 1 : 1;
    }
    const tarnwick::FeatureMatrix rows = tarnwick::vectorize(std::vector<std::string>(1), kColumns, documents, vocab, counts);
    if (rows != tarnwick::FeatureMatrix{want}) tarnwick::fuzz::fault("vectorize: the row differs from counting the words");
  }
  return 0;
}
