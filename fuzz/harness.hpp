// Shared checks of the fuzz targets: the only exceptions a reader may let out on hostile text are
// std::invalid_argument and std::out_of_range (ValueError and IndexError in Python); anything else,
// and any read outside the text (AddressSanitizer's part), stops the run with a report.
// A model loader's target is one call of check_model_load (see the end of this header).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace tarnwick::fuzz {

[[noreturn]] inline void fault(const std::string& what) {
  std::fprintf(stderr, "tarnwick fuzz: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// Runs f; returns true if it returned, false if it threw one of the two exceptions a reader may
// throw. Any other exception is a fault.
template <typename F>
bool accepted(const char* what, F&& f) {
  try {
    f();
    return true;
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  } catch (const std::exception& e) {
    fault(std::string(what) + " threw " + typeid(e).name() + ": " + e.what());
  } catch (...) {
    fault(std::string(what) + " threw something that is not a std::exception");
  }
  return false;
}

// What f returns, or nothing if it threw one of the two exceptions a reader may throw. The checks
// on the result run outside, so that an exception from the rewrite and re-read is a fault.
template <typename F>
auto attempt(const char* what, F f) -> std::optional<decltype(f())> {
  std::optional<decltype(f())> out;
  accepted(what, [&] { out = f(); });
  return out;
}

// Runs f, which must throw E (a refusal the model documents); returning or throwing anything else
// is a fault.
template <typename E, typename F>
void refused(const char* what, F&& f) {
  try {
    f();
  } catch (const E&) {
    return;
  } catch (const std::exception& e) {
    fault(std::string(what) + " threw " + typeid(e).name() + ": " + e.what());
  } catch (...) {
    fault(std::string(what) + " threw something that is not a std::exception");
  }
  fault(std::string(what) + " returned where a refusal was due");
}

// Each call in turn, every one run even when an earlier one threw one of the two exceptions.
template <typename... F>
void each_call(const char* what, F&&... f) {
  (accepted(what, std::forward<F>(f)), ...);
}

// A file of this process in memory-backed storage when there is some (fuzzing writes it for every
// input), named by role so that the input and the before/after saves never share a file. The files
// are removed when the process exits normally (a run, a merge's child, a -runs limit); a crash
// leaves them, holding the input and saves that crashed.
inline std::string scratch_path(const char* role) {
  struct Scratch {
    std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::set<std::string> paths;
    ~Scratch() {
      for (const std::string& path : paths) std::remove(path.c_str());
    }
  };
  static Scratch scratch;
  return *scratch.paths.insert(scratch.dir + "/tarnwick-fuzz-" + std::to_string(getpid()) + "-" + role + ".json").first;
}

inline void write_file(const std::string& path, const uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  if (!out) fault("cannot write the scratch file " + path);
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fault("cannot read the scratch file " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return std::move(s).str();
}

// The text that save(model, path) writes.
template <typename Model, typename Save>
std::string saved_text(const Model& model, Save& save, const char* what) {
  const std::string path = scratch_path("saved");
  try {
    save(model, path);
  } catch (const std::exception& e) {
    fault(std::string(what) + ": saving a model that loaded or was built threw: " + e.what());
  }
  return read_file(path);
}

// One fuzz input against one model loader:
//   make()             a small model built as a user would (fitted on a few rows),
//   save(model, path)  its save method, load(model, path) its load method,
//   use(model)         predictions on a loaded model (queries of the fitted width and of others).
// The input becomes the file to load. The load must either succeed or throw std::invalid_argument or
// std::out_of_range; a load that fails must leave the model saving exactly the text it saved before;
// a load that succeeds must give a model whose own file loads back to the same model, and whose
// predictions return or throw one of those two exceptions (a loaded model is as usable as a fitted
// one: whatever the file held, nothing is read outside the model's data).
// With TARNWICK_FUZZ_WRITE_SEED=DIR in the environment the target instead writes make()'s file to
// DIR/made.json (a seed for the corpus) and exits.
//
template <typename Make, typename Save, typename Load, typename Use>
int check_load(const uint8_t* data, std::size_t size, Make make, Save save, Load load, Use use, const char* what) {
  if (const char* dir = std::getenv("TARNWICK_FUZZ_WRITE_SEED")) {
    auto model = make();
    std::string text = saved_text(model, save, what);
    write_file(std::string(dir) + "/made.json", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::exit(0);
  }
  auto model = make();
  const std::string before = saved_text(model, save, what);
  const std::string input = scratch_path("input");
  write_file(input, data, size);
  if (!accepted(what, [&] { load(model, input); })) {
    if (saved_text(model, save, what) != before) fault(std::string(what) + ": a failed load changed the model");
    return 0;
  }
  const std::string loaded = saved_text(model, save, what);
  auto again = make();
  const std::string copy = scratch_path("copy");
  write_file(copy, reinterpret_cast<const uint8_t*>(loaded.data()), loaded.size());
  if (!accepted(what, [&] { load(again, copy); })) fault(std::string(what) + ": a loaded model's own file does not load");
  if (saved_text(again, save, what) != loaded) fault(std::string(what) + ": a loaded model's own file loads differently");
  accepted((std::string(what) + ", then predicting").c_str(), [&] { use(model); });
  return 0;
}

// check_load for a classic model (any class with save(path) and load(path)): name is its class name,
// make() builds it, use(model) predicts. A model's target is a file fuzz/fuzz_<file>.cpp (built by
// the glob in fuzz/CMakeLists.txt, run by fuzz/run.sh on the seeds in fuzz/corpus/<file>/):
//   extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
//     return check_model_load(
//         data, size, "KNN", [] { KNN m(3, "manhattan"); m.fit({{1, 0.5}, {-2, 0.1}}, {"a", "b"}); return m; },
//         [](KNN& m) { each_call("KNN.predict", [&] { m.predict({{0, 1}}); }, [&] { m.predict({{2}}); }); });
//   }
template <typename Make, typename Use>
int check_model_load(const uint8_t* data, std::size_t size, const char* name, Make make, Use use) {
  using Model = decltype(make());
  const std::string what = std::string(name) + ".load";
  return check_load(
      data, size, make, [](const Model& m, const std::string& path) { m.save(path); },
      [](Model& m, const std::string& path) { m.load(path); }, use, what.c_str());
}

}  // namespace tarnwick::fuzz
