// smartseg: trains segmentation models from annotated images, segments images with them and
// reports what a model holds. Exit codes: 0 success, 1 the work failed, 2 bad usage.
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/smartseg/Commands.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/serve/ServeCommand.h"

namespace {

using namespace Smartseg;

// Messages of lower layers can span lines; the error report is one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

int Report(const std::string& message, int code) {
  std::fprintf(stderr, "smartseg: error: %s\n", OneLine(message).c_str());
  return code;
}

struct CommandLine {
  TrainOptions train;
  SegmentOptions segment;
  DemoOptions demo;
  std::string infoModel;
  std::string segmentModel, segmentOut, trainModel, demoOut;
  std::vector<std::string> segmentImages;
  int trainThreads = 0, segmentThreads = 0, demoThreads = 0;
  double sampleSize = 0.0;
};

void AddThreads(CLI::App& command, int& threads) {
  command.add_option("--threads", threads, "Worker threads of the segmentation engine (1 or more)")
      ->type_name("N");
}

int Run(int argc, char** argv) {
  CLI::App app{"Trains segmentation models from annotated images and segments images with them.",
               "smartseg"};
  app.require_subcommand(1);
  CommandLine line;

  CLI::App* train = app.add_subcommand(
      "train",
      "Add annotated images to a model (a new one when MODEL does not exist) and train it");
  train->add_option("--model", line.trainModel, "Model file to create or extend")
      ->required()
      ->type_name("MODEL");
  CLI::Option* sampleSize =
      train->add_option("--sample-size", line.sampleSize, "Neighbourhood scale in pixels (> 0)")
          ->type_name("S");
  AddThreads(*train, line.trainThreads);
  train->add_flag("--retrain", line.train.retrain, "Train from scratch instead of incrementally");
  train
      ->add_option("--label-names", line.train.labelNames,
                   "Names of mask values 1, 2, ... (comma separated)")
      ->delimiter(',')
      ->type_name("a,b,c");
  train->add_flag("--quiet", line.train.quiet, "No progress on stderr");
  train
      ->add_option("ANNOTATION", line.train.annotations,
                   "LabelMe JSON files, or IMAGE=MASK pairs with a PNG label mask")
      ->required();

  CLI::App* segment =
      app.add_subcommand("segment", "Segment images and write masks, label images and overlays");
  segment->add_option("--model", line.segmentModel, "Trained model file")
      ->required()
      ->type_name("MODEL");
  segment->add_option("--out", line.segmentOut, "Output folder (created when missing)")
      ->required()
      ->type_name("DIR");
  AddThreads(*segment, line.segmentThreads);
  segment->add_flag("--probabilities", line.segment.probabilities,
                    "Also write each label's probability image");
  segment->add_flag("--quiet", line.segment.quiet, "No progress on stderr");
  segment->add_option("IMAGE", line.segmentImages, "PNG or TIFF images")->required();

  CLI::App* info =
      app.add_subcommand("info", "Print the labels, training data and engine state of a model");
  info->add_option("MODEL", line.infoModel, "Model file")->required();

  CLI::App* demo = app.add_subcommand(
      "demo", "Make the bundled data set, train, save, reload, segment and report the mean IoU");
  demo->add_option("--out", line.demoOut, "Folder for the demo's files (default smartseg-demo)")
      ->type_name("DIR");
  AddThreads(*demo, line.demoThreads);
  demo->add_flag("--quiet", line.demo.quiet, "No progress on stderr");
  ServeOptions serveOptions;
  CLI::App* serve = AddServeCommand(app, serveOptions);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help arrives as a "parse error" that succeeds.
    if (error.get_exit_code() == 0) return app.exit(error);
    return Report(std::string(error.what()) + " (see smartseg --help)", kExitUsage);
  }

  const auto threadsOf = [](CLI::App& command, int value) -> std::optional<int> {
    if (command.count("--threads") == 0) return std::nullopt;
    return value;
  };
  if (*train) {
    line.train.model = line.trainModel;
    if (sampleSize->count() > 0) line.train.sampleSize = line.sampleSize;
    line.train.threads = threadsOf(*train, line.trainThreads);
    return RunTrain(line.train);
  }
  if (*segment) {
    line.segment.model = line.segmentModel;
    line.segment.out = line.segmentOut;
    line.segment.threads = threadsOf(*segment, line.segmentThreads);
    for (const auto& image : line.segmentImages) line.segment.images.emplace_back(image);
    return RunSegment(line.segment);
  }
  if (*info) return RunInfo(line.infoModel);
  if (*serve) return RunServe(serveOptions);
  if (!line.demoOut.empty()) line.demo.out = line.demoOut;
  line.demo.threads = threadsOf(*demo, line.demoThreads);
  return RunDemo(line.demo);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const UsageError& error) {
    return Report(error.what(), kExitUsage);
  } catch (const WorkError& error) {
    return Report(error.what(), kExitFailure);
  } catch (const std::exception& error) {
    return Report(error.what(), kExitFailure);
  } catch (...) {
    return Report("an unknown failure", kExitFailure);
  }
}
