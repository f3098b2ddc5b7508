// The network's two files, through the shared model-file writer and reader:
//   weights:     [{"parameters":[[...],...],"bias":[[...],...]},...]  one object per layer
//   hyperparams: {"layer_num":2,"neurons_in_layers":[4,3],"dropout_rate":0.5,
//                 "learning_rate":0.001,"optimizer":"Adam"}  (the last two only with an optimizer)
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/check.hpp"
#include "core/model_file.hpp"
#include "nn/network.hpp"

namespace tarnwick {

void Network::_write_mat(modelfile::Writer& out, const DoubleMatrix& m) { out.mat(m); }

DoubleMatrix Network::_parse_mat(const modelfile::Reader& in, std::size_t& pos) { return in.mat(pos); }

std::filesystem::path Network::_weights_path(const std::filesystem::path& path) const {
  if (!path.empty()) return path;
  return weights_dir.empty() ? default_weights_file : weights_dir;
}

std::string Network::weights_text() const {
  modelfile::Writer out("Network.save_weights");
  out.raw("[");
  for (std::size_t i = 0; i < layers.size(); ++i) {
    if (i) out.raw(",");
    out.raw("{\"parameters\":");
    _write_mat(out, layers[i].weights->matrix);
    out.raw(",\"bias\":");
    _write_mat(out, layers[i].bias->matrix);
    out.raw("}");
  }
  out.raw("]");
  return std::move(out).text();
}

void Network::save_weights(const std::filesystem::path& path) const {
  modelfile::Writer("Network.save_weights", weights_text()).save(_weights_path(path));
}

void Network::load_weights(const std::filesystem::path& path) {
  constexpr const char* fn = "Network.load_weights";
  _read_weights(fn, modelfile::Reader::from_file(fn, _weights_path(path)));
}

void Network::load_weights_text(const std::string& text) {
  constexpr const char* fn = "Network.load_weights_text";
  _read_weights(fn, modelfile::Reader(fn, text));
}

void Network::_read_weights(const char* fn, const modelfile::Reader& in) {
  Exclusive exclusive(*this, fn);
  const std::string& text = in.text();
  std::size_t p = text.find('{');
  if (p == std::string::npos) p = text.size();
  // Everything is read and checked before any layer changes.
  std::vector<DoubleMatrix> weights, biases;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    std::size_t q = in.next('[', in.after("\"parameters\"", p));
    weights.push_back(_parse_mat(in, q));
    q = in.next('[', in.after("\"bias\"", q));
    biases.push_back(_parse_mat(in, q));
    p = q;
    const Layer& layer = layers[i];
    const std::string want = std::to_string(layer.output_size) + "x" + std::to_string(layer.input_size);
    if (check::shape(weights.back()) != want) {
      check::fail(fn, "layer " + std::to_string(i) + " has " + want + " weights, the file holds " +
                          check::shape(weights.back()));
    }
    if (check::shape(biases.back()) != std::to_string(layer.output_size) + "x1") {
      check::fail(fn, "layer " + std::to_string(i) + " has a bias of " + std::to_string(layer.output_size) +
                          "x1, the file holds " + check::shape(biases.back()));
    }
  }
  for (std::size_t i = 0; i < layers.size(); ++i) {
    layers[i].weights->matrix = std::move(weights[i]);
    layers[i].bias->matrix = std::move(biases[i]);
  }
}

std::string Network::hyperparams_text() const {
  modelfile::Writer out("Network.save_hyperparams");
  out.raw("{\"layer_num\":").integer(layer_num).raw(",\"neurons_in_layers\":[");
  for (std::size_t i = 0; i < neurons_in_layers.size(); ++i) {
    if (i) out.raw(",");
    out.integer(neurons_in_layers[i]);
  }
  out.raw("],\"dropout_rate\":").number(dropout_rate);
  if (optimizer) {
    // Another network sharing the optimizer may be loading a learning rate into it meanwhile.
    double learning_rate;
    {
      std::shared_lock<ObjectLock> shared(optimizer->object_lock);
      learning_rate = optimizer->learning_rate;
    }
    out.raw(",\"learning_rate\":").number(learning_rate);
    out.raw(",\"optimizer\":\"").raw(dynamic_cast<const Adam*>(optimizer) ? "Adam" : "SGD").raw("\"");
  }
  out.raw("}");
  return std::move(out).text();
}

void Network::save_hyperparams(const std::filesystem::path& path) const {
  modelfile::Writer("Network.save_hyperparams", hyperparams_text()).save(path);
}

void Network::load_hyperparams(const std::filesystem::path& path) {
  constexpr const char* fn = "Network.load_hyperparams";
  _read_hyperparams(fn, modelfile::Reader::from_file(fn, path));
}

void Network::load_hyperparams_text(const std::string& text) {
  constexpr const char* fn = "Network.load_hyperparams_text";
  _read_hyperparams(fn, modelfile::Reader(fn, text));
}

void Network::_read_hyperparams(const char* fn, const modelfile::Reader& in) {
  Exclusive exclusive(*this, fn);
  std::size_t p = in.after("\"dropout_rate\":");
  const double rate = in.number(p);
  constexpr std::string_view lr_key = "\"learning_rate\":";
  const bool has_rate = optimizer && in.text().find(lr_key) != std::string::npos;
  double learning_rate = 0.0;
  if (has_rate) {
    std::size_t q = in.after(lr_key);
    learning_rate = in.number(q);
  }
  // Under the optimizer's lock, taken after the network's as training takes it.
  std::unique_lock<ObjectLock> own;
  if (has_rate) own = std::unique_lock<ObjectLock>(optimizer->object_lock);
  dropout_rate = rate;
  if (has_rate) optimizer->learning_rate = learning_rate;
}

}  // namespace tarnwick
