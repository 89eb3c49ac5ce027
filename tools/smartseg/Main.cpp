// smartseg: trains segmentation models from annotated images, segments images with them and
// reports what a model holds. Exit codes: 0 success, 1 the work failed, 2 bad usage.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/smartseg/Commands.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/ProgramMain.h"
#include "tools/smartseg/serve/ServeCommand.h"

namespace {

using namespace Smartseg;

// `smartseg serve` continues as the program smartseg-serve, with the same command line.
[[noreturn]] void HandOverToServe(int argc, char** argv) {
  const std::string program = ServeProgram().string();
  std::vector<char*> arguments(argv, argv + argc);
  arguments[0] = const_cast<char*>(program.c_str());
  arguments.push_back(nullptr);
  execv(program.c_str(), arguments.data());
  throw WorkError(program, std::string("cannot start the browser host: ") + std::strerror(errno));
}

struct CommandLine {
  TrainOptions train;
  SegmentOptions segment;
  DemoOptions demo;
  std::string infoModel;
  std::string segmentModel, segmentOut, trainModel, demoOut, labelNames;
  std::vector<std::string> segmentImages;
  int trainThreads = 0, segmentThreads = 0, demoThreads = 0;
  double sampleSize = 0.0;
  std::uint64_t maxPixels = kDefaultPixelLimit;
};

void AddThreads(CLI::App& command, int& threads) {
  command.add_option("--threads", threads, "Worker threads of the segmentation engine (1 or more)")
      ->type_name("N");
}

void AddMaxPixels(CLI::App& command, std::uint64_t& pixels) {
  command
      .add_option("--max-pixels", pixels,
                  "Refuse images of more pixels than this (default 2^28 = 268435456)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
}

// CLI11 takes an unknown first word for a stray argument and only says that a subcommand is
// required; name the word instead.
void CheckCommandWord(const CLI::App& app, int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return;
  const std::string word = argv[1];
  std::string known;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (command->get_name() == word) return;
    known += (known.empty() ? "" : ", ") + command->get_name();
  }
  throw UsageError("unknown command '" + word + "'; expected one of " + known +
                   " (see smartseg --help)");
}

int Run(int argc, char** argv) {
  CLI::App app{"Trains segmentation models from annotated images and segments images with them.",
               "smartseg"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "smartseg " SMARTSEG_VERSION);
  CommandLine line;

  CLI::App* train = app.add_subcommand(
      "train",
      "Add annotated images to a model (a new one when MODEL does not exist) and train it");
  train->add_option("--model", line.trainModel, "Model file to create or extend")
      ->required()
      ->type_name("MODEL");
  CLI::Option* sampleSize =
      train
          ->add_option("--sample-size", line.sampleSize,
                       "Neighbourhood scale in pixels (0.01 to 1000, default 5)")
          ->type_name("S");
  AddThreads(*train, line.trainThreads);
  AddMaxPixels(*train, line.maxPixels);
  train->add_flag("--retrain", line.train.retrain, "Train from scratch instead of incrementally");
  // One value, split here: a list option would swallow the annotations that follow it.
  CLI::Option* labelNames =
      train
          ->add_option("--label-names", line.labelNames,
                       "Names of mask values 1, 2, ... (one value, comma separated)")
          ->type_name("a,b,c");
  bool noWait = false;
  train->add_flag("--no-wait", noWait,
                  "Fail at once when another run is training the same model, instead of waiting");
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
  AddMaxPixels(*segment, line.maxPixels);
  segment->add_flag("--probabilities", line.segment.probabilities,
                    "Also write each label's probability image");
  segment->add_flag("--quiet", line.segment.quiet, "No progress on stderr");
  segment->add_option("IMAGE", line.segmentImages, "PNG, TIFF or JPEG images")->required();

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
    CheckCommandWord(app, argc, argv);
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help arrives as a "parse error" that succeeds.
    if (error.get_exit_code() == 0) return app.exit(error);
    return ReportError(std::string(error.what()) + " (see smartseg --help)", kExitUsage);
  }

  const auto threadsOf = [](CLI::App& command, int value) -> std::optional<int> {
    if (command.count("--threads") == 0) return std::nullopt;
    return value;
  };
  SetPixelLimit(line.maxPixels);
  if (*train) {
    line.train.model = line.trainModel;
    line.train.wait = !noWait;
    if (labelNames->count() > 0) line.train.labelNames = SplitLabelNames(line.labelNames);
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
  if (*serve) HandOverToServe(argc, argv);
  if (!line.demoOut.empty()) line.demo.out = line.demoOut;
  line.demo.threads = threadsOf(*demo, line.demoThreads);
  return RunDemo(line.demo);
}

}  // namespace

int main(int argc, char** argv) {
  EndProgram(RunProgram([&] { return Run(argc, argv); }));
}
