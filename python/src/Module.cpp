// The _smartseg extension: the operator, its model files and annotation readers for Python. The
// pure-Python package `smartseg` wraps it; see python/smartseg/__init__.py for the documented
// surface.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "python/src/ArrayImages.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/ModelLock.h"
#include "tools/smartseg/SegmentationOutput.h"
#include "tools/smartseg/TrainingSet.h"
#include "vision/SmartSegmenter/ModelDescriptions.h"

namespace SmartsegPython {
namespace {

namespace py = pybind11;
using Smartseg::Operator;

// The sample sizes the smartseg program accepts.
constexpr double kSmallestSampleSize = 0.01;
constexpr double kLargestSampleSize = 1000.0;

void CheckSampleSize(double size) {
  if (!std::isfinite(size) || size < kSmallestSampleSize || size > kLargestSampleSize) {
    char text[128];
    std::snprintf(text, sizeof(text), "sample_size: expected a number from %g to %g, found %g",
                  kSmallestSampleSize, kLargestSampleSize, size);
    throw py::value_error(text);
  }
}

// What Model.segment returns.
struct Segmentation {
  py::object labelImage;
  py::dict masks;
  py::object probabilities = py::none();
};

// One operator. Calls on it are serialised, as the operator requires of its host; each call lets
// go of the interpreter before it waits for the operator, so that a thread waiting here never
// holds up one that needs the interpreter to finish (a borrowed array is given back under it).
class Model {
 public:
  Model(double sampleSize, std::optional<int> threads)
      : Model(Smartseg::CreateOperator(), threads) {
    CheckSampleSize(sampleSize);
    model_->setSampleSize(sampleSize);
  }
  Model(std::shared_ptr<Operator> model, std::optional<int> threads) : model_(std::move(model)) {
    if (threads) {
      if (*threads < 1) {
        throw py::value_error("threads: expected a count of 1 or more, found " +
                              std::to_string(*threads));
      }
      Tamrix::Vision::VisionToolMultiThreading::setEnable(true);
      Tamrix::Vision::VisionToolMultiThreading::setThreadCount(*threads);
    }
  }

  static std::unique_ptr<Model> Load(const std::filesystem::path& path,
                                     std::optional<int> threads) {
    std::shared_ptr<Operator> loaded;
    {
      const py::gil_scoped_release release;
      loaded = Smartseg::LoadModel(path);
    }
    return std::make_unique<Model>(std::move(loaded), threads);
  }

  void Save(const std::filesystem::path& path) {
    Locked([&] {
      // Takes turns with smartseg runs that read, train and rewrite the same file.
      const Smartseg::ModelLock lock(path, true, true);
      Smartseg::SaveModel(path, model_);
    });
  }

  void AddImage(const py::object& image, const py::object& mask,
                const std::optional<std::vector<std::string>>& labelNames) {
    std::vector<std::string> names = labelNames.value_or(std::vector<std::string>{});
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i].empty()) {
        throw py::value_error("label_names: name " + std::to_string(i + 1) + " is empty");
      }
    }
    Smartseg::LoadedImage loaded;
    loaded.image = ImageFromArray(image, PixelUse::Copy);
    const Smartseg::Picture values =
        LabelMaskFromArray(mask, loaded.image->Width(), loaded.image->Height());
    Gather(
        [&](Smartseg::TrainingSet& training) { training.AddMask(loaded, values, names, "mask"); });
  }

  void AddLabelMe(const std::filesystem::path& path) {
    Gather([&](Smartseg::TrainingSet& training) { training.AddLabelMe(path); });
  }

  std::vector<std::string> Labels() {
    std::vector<std::string> names;
    Locked([&] {
      const auto labels = model_->Labels();
      for (int i = 0; i < labels->Count(); ++i) names.push_back(labels->Item(i)->Name());
    });
    return names;
  }

  bool IsDirty() {
    bool dirty = false;
    Locked([&] { dirty = model_->IsDirty(); });
    return dirty;
  }

  double SampleSize() {
    double size = 0.0;
    Locked([&] { size = model_->SampleSize(); });
    return size;
  }

  void SetSampleSize(double size) {
    CheckSampleSize(size);
    Locked([&] { model_->setSampleSize(size); });
  }

  void Train(bool fromScratch) {
    Locked([&] {
      if (model_->Labels()->Count() == 0) {
        throw Smartseg::WorkError("no labelled pixels to train on; add_image or add_labelme first");
      }
      model_->SmartTrainDataDatabase()->Verify();
      if (fromScratch) {
        model_->Retrain();
      } else {
        model_->Train();
      }
    });
  }

  int ContextRadius() {
    int radius = 0;
    Locked([&] { radius = Tamrix::Vision::SmartSegmenter::ContextRadius(*model_); });
    return radius;
  }

  int ContextStep() {
    int step = 1;
    Locked([&] { step = Tamrix::Vision::SmartSegmenter::ContextStep(*model_); });
    return step;
  }

  Segmentation Segment(const py::object& image, const py::object& region, bool probabilities) {
    // Converted (and, for a borrowed array, given back) while this thread holds the interpreter.
    const std::shared_ptr<Tamrix::Vision::IImage> pixels = ImageFromArray(image, PixelUse::Borrow);
    const std::shared_ptr<Tamrix::Vision::Polygon> inside = RegionFromObject(region);
    const int width = pixels->Width();
    const int height = pixels->Height();
    std::vector<Smartseg::LabelResult> labels;
    Smartseg::Picture values;
    Locked([&] {
      RequireTrained();
      Tamrix::Vision::SmartCore::ISmartSegmenter& segmenter = *model_;
      const auto results = segmenter.Execute(*pixels, inside.get());
      labels = Smartseg::InLabelOrder(*model_, *results);
      values = Smartseg::LabelValueImage(labels, width, height);
    });
    Segmentation segmentation;
    segmentation.labelImage = LabelArray(values);
    if (probabilities) segmentation.probabilities = py::dict();
    for (const auto& label : labels) {
      const py::str name(label.name);
      if (!label.result) {
        segmentation.masks[name] = BoolArray(Tamrix::Vision::PixelMask(width, height));
        if (probabilities) {
          segmentation.probabilities[name] = FloatArray(
              std::vector<float>(static_cast<std::size_t>(width) * height), width, height);
        }
        continue;
      }
      {
        // Read pixel by pixel, so that a compact result is not unpacked beside the array.
        py::array_t<bool> mask({height, width});
        bool* bits = mask.mutable_data();
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
          bits[i] = label.result->MaskAt(i);
        }
        segmentation.masks[name] = std::move(mask);
      }
      if (probabilities) {
        // Read value by value, so that a compact result is not unpacked beside the array.
        std::vector<float> chances(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < chances.size(); ++i) {
          chances[i] = label.result->ProbabilityAt(i);
        }
        segmentation.probabilities[name] = FloatArray(std::move(chances), width, height);
      }
    }
    return segmentation;
  }

  // Segments the image file at `image` and writes the smartseg program's outputs for it into
  // `folder`; returns the JSON summary's text.
  std::string SegmentFile(const std::filesystem::path& image, const std::filesystem::path& folder,
                          bool probabilities) {
    std::string summary;
    Locked([&] {
      RequireTrained();
      const Smartseg::LoadedImage loaded = Smartseg::ReadImage(image);
      const auto start = std::chrono::steady_clock::now();
      Tamrix::Vision::SmartCore::ISmartSegmenter& segmenter = *model_;
      std::shared_ptr<Tamrix::Vision::SmartCore::SmartSegmenterResults> results;
      try {
        results = segmenter.Execute(*loaded.image, nullptr);
      } catch (const std::exception& failure) {
        throw Smartseg::WorkError(image, std::string("segmentation failed: ") + failure.what());
      }
      Smartseg::SegmentationFiles files;
      files.folder = folder;
      files.stem = image.stem().string();
      files.imageName = image.string();
      files.pixels = loaded.pixels;
      files.labels = Smartseg::InLabelOrder(*model_, *results);
      files.probabilities = probabilities;
      files.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      summary = Smartseg::WriteSegmentation(files).dump(2);
    });
    return summary;
  }

  // The files SegmentFile writes for an image of stem `stem`, the JSON summary last.
  std::vector<std::filesystem::path> OutputFiles(const std::string& stem,
                                                 const std::filesystem::path& folder,
                                                 bool probabilities) {
    Smartseg::SegmentationFiles files;
    files.folder = folder;
    files.stem = stem;
    files.probabilities = probabilities;
    for (const auto& name : Labels()) files.labels.push_back({name, nullptr});
    return Smartseg::SegmentationFileNames(files);
  }

 private:
  template <class Work>
  void Locked(Work&& work) {
    const py::gil_scoped_release release;
    const std::lock_guard<std::mutex> lock(mutex_);
    work();
  }

  // Reads annotations into a TrainingSet and moves what it gathered into the operator, so that a
  // bad input changes nothing. Warnings become Python warnings once the interpreter is back.
  template <class Read>
  void Gather(Read&& read) {
    std::vector<std::string> warnings;
    Locked([&] {
      Smartseg::TrainingSet training(
          *model_, [&warnings](const std::string& line) { warnings.push_back(line); });
      read(training);
      training.MoveInto(*model_);
    });
    for (const auto& line : warnings) {
      if (PyErr_WarnEx(PyExc_UserWarning, line.c_str(), 1) != 0) throw py::error_already_set();
    }
  }

  void RequireTrained() const {
    if (model_->Labels()->Count() == 0) {
      throw Smartseg::WorkError("the model has not been trained");
    }
    if (model_->IsDirty()) {
      throw Smartseg::WorkError(
          "the model has changed since it was last trained; call train() or retrain() first");
    }
  }

  static std::shared_ptr<Tamrix::Vision::Polygon> RegionFromObject(const py::object& region) {
    if (region.is_none()) return nullptr;
    const py::array points =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(region);
    if (!points || points.ndim() != 2 || points.shape(1) != 2 || points.shape(0) < 3) {
      throw py::value_error(
          "region: expected the (x, y) corners of a polygon, at least 3, as an N x 2 array");
    }
    const auto view = points.unchecked<double, 2>();
    std::vector<Tamrix::Vision::Point2D> corners;
    for (py::ssize_t i = 0; i < points.shape(0); ++i) {
      if (!std::isfinite(view(i, 0)) || !std::isfinite(view(i, 1))) {
        throw py::value_error("region: corner " + std::to_string(i) + " is not a finite number");
      }
      corners.push_back({view(i, 0), view(i, 1)});
    }
    return std::make_shared<Tamrix::Vision::Polygon>(
        Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, std::move(corners));
  }

  std::shared_ptr<Operator> model_;
  std::mutex mutex_;
};

}  // namespace
}  // namespace SmartsegPython

PYBIND11_MODULE(_smartseg, module) {
  namespace py = pybind11;
  using SmartsegPython::Model;
  using SmartsegPython::Segmentation;
  module.doc() = "The operator underneath the smartseg package.";

  static py::exception<std::runtime_error> error(module, "Error");
  // Failures of the framework, the engine and the model files keep their messages.
  // pybind11 takes translators as plain function pointers of this very signature.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const Smartseg::WorkError& caught) {
      error(caught.what());
    } catch (const Smartseg::UsageError& caught) {
      PyErr_SetString(PyExc_ValueError, caught.what());
    } catch (const Tamrix::Vision::VisionException& caught) {
      error(caught.what());
    }
  });

  py::class_<Segmentation>(module, "Segmentation",
                           "What Model.segment returns: label_image (uint16, 0 no label, k the "
                           "k-th of Model.labels), masks (name -> bool array) and probabilities "
                           "(name -> float32 array, None unless asked for).")
      .def_readonly("label_image", &Segmentation::labelImage)
      .def_readonly("masks", &Segmentation::masks)
      .def_readonly("probabilities", &Segmentation::probabilities);

  py::class_<Model>(module, "Model",
                    "A segmentation model: training images with label masks or LabelMe "
                    "annotations, one engine model per label, and the smartseg program's model "
                    "files.")
      .def(py::init<double, std::optional<int>>(), py::arg("sample_size") = 5.0,
           py::arg("threads") = py::none(),
           "An empty model. sample_size: the scale, in pixels, of the neighbourhood the engine "
           "looks at (0.01 to 1000). threads: the engine's thread count for the whole process "
           "(default: one per core).")
      .def_static("load", &Model::Load, py::arg("path"), py::arg("threads") = py::none(),
                  "Reads a model file written by Model.save or by `smartseg train`.")
      .def("save", &Model::Save, py::arg("path"),
           "Writes the model file all at once, taking turns with smartseg runs on the same file.")
      .def("add_image", &Model::AddImage, py::arg("image"), py::arg("mask"),
           py::arg("label_names") = py::none(),
           "Adds a training image (2-D uint8/uint16, or H x W x 3 uint8 RGB) with its label mask "
           "(2-D integers: 0 unlabelled, k label k, named label_names[k - 1] or 'label<k>'; a "
           "value named '__ignore__' belongs to no label). Needs train() afterwards.")
      .def("add_labelme", &Model::AddLabelMe, py::arg("path"),
           "Adds a LabelMe annotation file and its image, as `smartseg train` reads it.")
      .def_property_readonly("labels", &Model::Labels, "The label names, in model order.")
      .def_property_readonly("is_dirty", &Model::IsDirty,
                             "True when training data or the sample size changed since training.")
      .def_property("sample_size", &Model::SampleSize, &Model::SetSampleSize,
                    "The engine's neighbourhood scale in pixels; a new value needs retrain().")
      .def_property_readonly("context_radius", &Model::ContextRadius,
                             "How far, in pixels, the pixels deciding one pixel's result reach: "
                             "the margin a crop needs to segment as in the whole image "
                             "(a multiple of context_step).")
      .def_property_readonly("context_step", &Model::ContextStep,
                             "The grid step, counted from the image's corner, on which pixels are "
                             "classified: a crop segments as in the whole image only when its "
                             "corner (margin included) lies at a multiple of it.")
      .def(
          "train", [](Model& model) { model.Train(false); },
          "Trains on what was added since the last training (everything at first).")
      .def(
          "retrain", [](Model& model) { model.Train(true); }, "Trains from scratch.")
      .def("segment", &Model::Segment, py::arg("image"), py::arg("region") = py::none(),
           py::arg("probabilities") = false,
           "Segments an image like the training images; region: polygon corners [(x, y), ...] "
           "limiting the classified pixels. Returns a Segmentation.")
      .def("_segment_file", &Model::SegmentFile, py::arg("image"), py::arg("folder"),
           py::arg("probabilities") = false)
      .def("_output_files", &Model::OutputFiles, py::arg("stem"), py::arg("folder"),
           py::arg("probabilities") = false);

  module.def(
      "_remove_stale_temporaries",
      [](const std::filesystem::path& folder) { return Smartseg::RemoveStaleTemporaries(folder); },
      py::arg("folder"));
}
