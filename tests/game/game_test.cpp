// The demo game (examples/game/rocks.kb) as a user gets it: the packed
// build/korrin-demo, run headless in a directory of its own with a demo.cfg
// that asks for a bounded attract run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"
#include "tests/support/xvfb_server.h"

using namespace krtest;
using audiotest::Recording;
using audiotest::readRecording;
using audiotest::rms;
using audiotest::waveConfig;

namespace {

const std::string kAssets = buildPath("korrin-demo-assets");
const char* kMagic = "KORRIN-ROCKS-SCORES 1";

std::string settings(const std::string& extra, int rounds = 1, int seconds = 3) {
  return "# test run\nattract_rounds=" + std::to_string(rounds) + "\nround_seconds=" + std::to_string(seconds) +
         "\nassets=" + kAssets + "\n" + extra;
}

RunResult play(const TempDir& dir, const std::string& config, RunOptions options = RunOptions()) {
  writeFile(dir.file("demo.cfg"), config);
  options.workDir = dir.path();
  options.timeoutMs = 60000;
  return runProgram({buildPath("korrin-demo"), "--debug"}, options);
}

// The summary a bounded run writes: name=value lines.
std::map<std::string, std::string> summary(const TempDir& dir) {
  std::map<std::string, std::string> values;
  std::istringstream in(readFile(dir.file("demo-result.txt")));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t eq = line.find('=');
    if (eq != std::string::npos && !values.count(line.substr(0, eq))) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

bool endedCleanly(const RunResult& r) {
  return !r.timedOut && r.exitCode == 0 && r.errContains("debugInfo: Program has ended") && !r.errContains("debugError");
}

int firstLineScore(const std::string& table) {
  std::istringstream in(table);
  std::string magic, score;
  std::getline(in, magic);
  in >> score;
  return std::atoi(score.c_str());
}

}  // namespace

TEST(DemoGame, AttractRoundsRunToTheirEndAndTheTableSurvivesTheNextRun) {
  TempDir dir;
  RunResult first = play(dir, settings("seed=7\nname=ANNA\n", 2));
  ASSERT_TRUE(endedCleanly(first)) << first.err;
  // Every picture, sound and font loaded; both songs got channels.
  EXPECT_EQ(first.value("assets: images"), "11111");
  EXPECT_EQ(first.value("assets: sounds"), "1111");
  EXPECT_EQ(first.value("assets: fonts"), "111");
  EXPECT_EQ(first.value("assets: frames"), "32x32");
  EXPECT_EQ(first.value("assets: big frames"), "48x48");  // the strip scaled for big rocks
  EXPECT_EQ(first.value("music: title.mod channel"), "1");
  EXPECT_EQ(first.value("music: play.mid channel"), "1");
  auto logs = first.logs();
  EXPECT_NE(std::find(logs.begin(), logs.end(), "scores: loaded 0"), logs.end()) << first.err;

  auto result = summary(dir);
  EXPECT_EQ(result["rounds"], "2");
  EXPECT_GT(std::atoi(result["frames"].c_str()), 2 * 45);
  // The robot hits rocks: each hit played its sound on a real channel.
  EXPECT_GT(std::atoi(result["hit_sounds"].c_str()), 0);
  int best = std::atoi(result["best"].c_str());
  EXPECT_GT(best, 0);

  std::string table = readFile(dir.file("korrin-demo.scores"));
  EXPECT_EQ(table.rfind(kMagic, 0), 0u) << table;
  EXPECT_NE(table.find(" ANNA"), std::string::npos) << table;
  EXPECT_EQ(firstLineScore(table), best);
  EXPECT_FALSE(access(dir.file("korrin-demo.scores.new").c_str(), F_OK) == 0) << "the scratch copy is gone";

  // The next run reads the table back and keeps the best score on top.
  RunResult second = play(dir, settings("seed=8\nname=BORIS\n"));
  ASSERT_TRUE(endedCleanly(second)) << second.err;
  logs = second.logs();
  EXPECT_EQ(std::find(logs.begin(), logs.end(), "scores: loaded 0"), logs.end()) << second.err;
  EXPECT_EQ(std::find(logs.begin(), logs.end(), "scores: damaged table ignored"), logs.end()) << second.err;
  EXPECT_GE(std::atoi(summary(dir)["best"].c_str()), best);
  EXPECT_NE(readFile(dir.file("korrin-demo.scores")).find(" ANNA"), std::string::npos);
}

// Damaged tables are set aside and replaced by a sound one; the game plays on.
TEST(DemoGame, DamagedOrUnwritableScoreTablesNeverStopTheGame) {
  const std::string valid = std::string(kMagic) + "\n120 ZED\n";
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"garbage", std::string("\x89\x00\xff\x13 binary\n\n\xfe", 15) + std::string(5000, 'x')},
      {"wrong check", valid + "end 12345\n"},
      {"no check line", valid},
      {"out of order", std::string(kMagic) + "\n10 A\n90 B\nend 0\n"},
      {"bad name", std::string(kMagic) + "\n10 \x01\x02\nend 0\n"},
      {"huge number", std::string(kMagic) + "\n99999999999999 A\nend 0\n"},
      {"no name", std::string(kMagic) + "\n12\nend 0\n"},
  };
  std::vector<std::future<std::string>> runs;
  for (const auto& [what, bytes] : damaged) {
    runs.push_back(std::async(std::launch::async, [what = what, bytes = bytes] {
      TempDir dir;
      writeFile(dir.file("korrin-demo.scores"), bytes);
      RunResult r = play(dir, settings("seed=3\n", 1, 2));
      std::string table = readFile(dir.file("korrin-demo.scores"));
      std::string problems;
      if (!endedCleanly(r)) problems += " did not end cleanly:" + r.err;
      auto logs = r.logs();
      if (std::find(logs.begin(), logs.end(), "scores: damaged table ignored") == logs.end())
        problems += " not reported as damaged;";
      if (table.rfind(kMagic, 0) != 0 || table.find("\nend ") == std::string::npos)
        problems += " not replaced by a sound table: " + table;
      return problems.empty() ? std::string() : std::string(what) + ":" + problems;
    }));
  }
  // A table in a folder that does not exist cannot be written: reported, and played on.
  TempDir dir;
  RunResult r = play(dir, settings("seed=4\nscores=" + dir.file("missing/dir/t.scores") + "\n", 1, 2));
  EXPECT_TRUE(endedCleanly(r)) << r.err;
  EXPECT_TRUE(r.errContains("scores: cannot write")) << r.err;
  for (auto& run : runs) EXPECT_EQ(run.get(), "");
}

// A full disk (a file-size limit stands in for it): the fresh table cannot be
// written whole, so it is not copied over the kept one.
TEST(DemoGame, AFullDiskKeepsTheOldTable) {
  TempDir dir;
  const std::string table = std::string(kMagic) + "\n1 OLDIE\nend 236466\n";
  writeFile(dir.file("korrin-demo.scores"), table);
  rlimit previous;
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit limited = previous;
  limited.rlim_cur = table.size() + 4;  // the game inherits it: any longer table is cut short
  writeFile(dir.file("demo.cfg"), settings("seed=9\n", 1, 4));
  RunOptions options;
  options.workDir = dir.path();
  options.timeoutMs = 60000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);  // nothing else is written meanwhile
  RunResult r = runProgram({buildPath("korrin-demo"), "--debug"}, options);
  setrlimit(RLIMIT_FSIZE, &previous);
  ASSERT_TRUE(endedCleanly(r)) << r.err;
  auto logs = r.logs();
  EXPECT_NE(std::find(logs.begin(), logs.end(), "scores: loaded 1"), logs.end()) << r.err;
  EXPECT_GT(r.number("round_score"), 1) << "a better score was to be saved";
  EXPECT_TRUE(r.errContains("in full; the old table is kept")) << r.err;
  EXPECT_EQ(readFile(dir.file("korrin-demo.scores")), table);
  EXPECT_NE(access(dir.file("korrin-demo.scores.new").c_str(), F_OK), 0);
}

// No sound device: no sound or song loads, and the game plays on in silence
// (with handle checks on, a command given a 0 handle would stop it).
TEST(DemoGame, WithoutASoundDeviceItPlaysSilently) {
  TempDir dir;
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=no-such-backend"};
  RunResult r = play(dir, settings("seed=6\n", 1, 2), options);
  ASSERT_TRUE(endedCleanly(r)) << r.err;
  EXPECT_EQ(r.value("assets: sounds"), "0000");
  EXPECT_EQ(r.value("music: title.mod channel"), "0");
  EXPECT_EQ(summary(dir)["rounds"], "1");
}

// A settings file with junk in it: unknown keys and values are reported or
// read as 0, and the run still ends by itself.
TEST(DemoGame, JunkInTheSettingsFileIsReportedAndPassedOver) {
  TempDir dir;
  RunResult r = play(dir, settings(std::string("net=bogus\nround_seconds=-5\ntitle_seconds=abc\n=x\nno equals\n") +
                                   "colour=blue\n\xff\xfe\x01=\n" + std::string(3000, 'z') + "\n"));
  ASSERT_TRUE(endedCleanly(r)) << r.err;
  EXPECT_TRUE(r.errContains("settings: net is host or join, not bogus")) << r.err;
  EXPECT_TRUE(r.errContains("settings: unknown key colour")) << r.err;
  EXPECT_EQ(summary(dir)["rounds"], "1");
  EXPECT_EQ(summary(dir)["net_failed"], "");  // no network round was tried
}

TEST(DemoGame, MissingAssetsStopTheGameWithAMessageThatNamesTheFile) {
  TempDir dir;
  RunResult r = play(dir, "attract_rounds=1\nassets=" + dir.file("nowhere") + "\n");
  EXPECT_FALSE(r.timedOut);
  EXPECT_TRUE(r.errContains("debugError: Cannot load " + dir.file("nowhere") + "/ship.png")) << r.err;
}

// Two copies on one machine: one hosts, the other joins at 127.0.0.1; each
// plays an attract round and sees the other's ship and final score.
TEST(DemoGame, TwoCopiesPlayOneRoundOverTheNetwork) {
  std::string port = std::to_string(23000 + (getpid() % 500) * 8);
  auto launch = [&](const std::string& extra, int delayMs) {
    return std::async(std::launch::async, [=] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      auto dir = std::make_shared<TempDir>();
      RunOptions options;
      options.env.push_back("KORRIN_TEST_NET_PORT=" + port);
      RunResult r = play(*dir, settings(extra, 1, 4), options);
      return std::make_pair(r, summary(*dir));
    });
  };
  auto host = launch("net=host\nname=HOSTA\nseed=11\n", 1500);
  // The joiner looks for the game until the host has it open.
  auto join = launch("net=join\nnet_address=127.0.0.1\nname=JOINB\nseed=12\n", 0);
  auto [hostRun, hostResult] = host.get();
  auto [joinRun, joinResult] = join.get();
  ASSERT_TRUE(endedCleanly(hostRun)) << hostRun.err;
  ASSERT_TRUE(endedCleanly(joinRun)) << joinRun.err;
  EXPECT_EQ(hostResult["net_failed"], "");
  EXPECT_EQ(hostResult["net_peer"], "JOINB");
  EXPECT_EQ(joinResult["net_peer"], "HOSTA");
  // About 20 position updates a second for four seconds each way.
  EXPECT_GT(std::atoi(hostResult["net_updates"].c_str()), 20);
  EXPECT_GT(std::atoi(joinResult["net_updates"].c_str()), 20);
  EXPECT_EQ(hostResult["net_peer_score"], joinResult["round_score"]);
  EXPECT_EQ(joinResult["net_peer_score"], hostResult["round_score"]);
}

namespace {

// Loudness of one channel (0 left, 1 right) or of both (-1) in each window.
std::vector<double> levels(const Recording& rec, double windowSeconds, int channel = -1) {
  std::vector<double> out;
  std::size_t frames = static_cast<std::size_t>(rec.rate * windowSeconds);
  for (std::size_t start = 0; frames && start + frames <= rec.left.size(); start += frames) {
    double left = rms(rec.left, start, start + frames), right = rms(rec.right, start, start + frames);
    out.push_back(channel == 0 ? left : channel == 1 ? right : std::sqrt((left * left + right * right) / 2));
  }
  return out;
}

// A recorded run with only the given files beside the sprites.
struct SoundRun {
  Recording rec;
  std::string err;
  bool ended = false;
};

SoundRun recordWithOnly(const std::vector<std::string>& sounds, const std::string& config) {
  TempDir dir;
  std::string assets = dir.file("assets");
  mkdir(assets.c_str(), 0755);
  std::vector<std::string> files = {"ship.png", "ship2.png", "rock.png", "boom.png", "bullet.png"};
  files.insert(files.end(), sounds.begin(), sounds.end());
  for (const std::string& name : files) writeFile(assets + "/" + name, readFile(kAssets + "/" + name));
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=wave", waveConfig(dir.file("alsoft.conf"), dir.file("mix.wav"))};
  RunResult r = play(dir, "attract_rounds=1\n" + config + "assets=" + assets + "\n", options);
  return SoundRun{readRecording(dir.file("mix.wav")), r.err, endedCleanly(r)};
}

std::string shown(const std::vector<double>& values) {
  std::string out;
  for (double v : values) out += " " + std::to_string(v).substr(0, 5);
  return out;
}

int sounding(const std::vector<double>& values) {
  return static_cast<int>(std::count_if(values.begin(), values.end(), [](double l) { return l >= 0.005; }));
}

}  // namespace

// Each song alone, two seconds of title and two of play: the tracker song
// sounds under the title and stops for play; the MIDI song sounds in play. A
// song that does not render stays silent.
TEST(DemoGame, BothSongsAreHeardEachInItsPlace) {
  const std::string config = "title_seconds=2\nround_seconds=2\nseed=2\n";
  auto titleOnly = std::async(std::launch::async, [&] { return recordWithOnly({"title.mod"}, config); });
  SoundRun midi = recordWithOnly({"play.mid"}, config);
  SoundRun mod = titleOnly.get();
  ASSERT_TRUE(mod.ended && midi.ended) << mod.err << midi.err;
  EXPECT_NE(mod.err.find("music: title.mod channel=1"), std::string::npos) << mod.err;
  EXPECT_NE(midi.err.find("music: play.mid channel=1"), std::string::npos) << midi.err;
  std::vector<double> modLevels = levels(mod.rec, 0.25), midiLevels = levels(midi.rec, 0.25);
  // Two seconds are eight quarters; start-up and the change may take a few.
  EXPECT_GE(sounding(modLevels), 5) << "title.mod:" << shown(modLevels);
  EXPECT_GE(sounding(midiLevels), 5) << "play.mid:" << shown(midiLevels);
  ASSERT_GE(modLevels.size(), 4u);
  EXPECT_LT(modLevels[modLevels.size() - 2], 0.005) << "the title song plays on in the round:" << shown(modLevels);
}

// Only the shots sound: each is panned to where the ship fired it, so as the
// attract player crosses the screen some shots lean left and some right.
TEST(DemoGame, ShotsArePannedToTheShip) {
  SoundRun shots = recordWithOnly({"shoot.wav"}, "round_seconds=6\nseed=3\n");
  ASSERT_TRUE(shots.ended) << shots.err;
  std::vector<double> left = levels(shots.rec, 0.1, 0), right = levels(shots.rec, 0.1, 1);
  ASSERT_EQ(left.size(), right.size());
  int leaningLeft = 0, leaningRight = 0;
  std::string ratios;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (left[i] + right[i] < 0.01) continue;
    leaningLeft += left[i] > 1.5 * right[i];
    leaningRight += right[i] > 1.5 * left[i];
    ratios += " " + std::to_string(left[i] / (right[i] + 1e-9)).substr(0, 4);
  }
  EXPECT_GT(leaningLeft, 2) << "left/right:" << ratios;
  EXPECT_GT(leaningRight, 2) << "left/right:" << ratios;
}


// A person at a real X screen: Enter on the title, a name typed into Input,
// the ship steered left with the mouse, then right with the keyboard while
// Space fires, Esc out of the round, past the result and off the title screen.
TEST(DemoGame, APersonTypesTheirNameAndPlaysWithMouseAndKeyboard) {
  if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
  XServer server;
  ASSERT_TRUE(server.ready()) << "Xvfb did not start";
  TempDir dir;
  auto game = std::async(std::launch::async, [&] {
    RunOptions options;
    options.env = {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11"};
    return play(dir, "assets=" + kAssets + "\n", options);
  });
  std::string x = "DISPLAY=" + server.display() + " ";
  std::string window = shellOutput(x + "timeout 20 xdotool search --sync --name 'Korrin Rocks' | head -1");
  ASSERT_FALSE(window.empty());
  auto step = [&](const std::string& what, int waitMs) {
    shellOutput(x + "xdotool " + what);
    usleep(waitMs * 1000);
  };
  step("mousemove --window " + window + " 320 240", 1500);
  step("key Return", 800);
  step("type --delay 30 ZOEZOEZOEZOEZOEZOEZO", 300);  // 20 letters: names keep 16
  step("key Return", 800);
  step("mousemove --window " + window + " 100 240", 1200);  // the ship follows the pointer left
  step("keydown Right keydown space", 600);
  step("keyup Right keyup space", 300);
  step("key Escape", 800);
  step("key Escape", 1000);
  step("key Escape", 0);
  RunResult r = game.get();
  ASSERT_TRUE(endedCleanly(r)) << r.err;
  std::string played = r.value("played: ZOEZOEZOEZOEZOEZ score");
  EXPECT_NE(played.find(" ship_x="), std::string::npos) << r.err;
  // The pointer took the ship from the middle (304) to 84, then the key held
  // for about 36 frames moved it six pixels a frame: without the mouse it
  // would end near 520, without the keys near 84.
  int shipX = std::atoi(played.substr(played.find("ship_x=") + 7).c_str());
  EXPECT_GT(shipX, 150) << played;
  EXPECT_LT(shipX, 450) << played;
}

// The other copy is a made-up peer that sends messages cut short, out of range,
// huge or of the wrong kind: the game passes them over and plays its round.
TEST(DemoGame, MadeUpMessagesFromThePeerArePassedOver) {
  TempDir rogueDir;
  writeFile(rogueDir.file("rogue.kb"), R"(
If HostNetGame("Korrin Rocks") = 0 Then DebugLog "rogue: no game" : End
me = CreateNetPlayer("ROGUE")
heard = False : started = MilliSecs()
While Not heard And MilliSecs() - started < 30000
  While RecvNetMsg()
    If NetMsgType() = 3 Then heard = True
  Wend
  Delay 20
Wend
SendNetMsg 3, "ROGUE-PEER-WITH-A-VERY-LONG-NAME", me, 0
Delay 300
SendNetMsg 1, "x", me, 0
SendNetMsg 1, "1,", me, 0
SendNetMsg 1, ",,,", me, 0
SendNetMsg 1, "", me, 0
SendNetMsg 1, "-999999,-7,99999999999", me, 0
SendNetMsg 1, String("9,", 20000), me, 0
SendNetMsg 2, "junk", me, 0
SendNetMsg 200, "", me, 0
SendNetMsg 100, "", me, 0
SendNetMsg 3, "", me, 0
SendNetMsg 3, "ROGUE", me, 0
SendNetMsg 2, "9", me, 0
Delay 6000
DebugLog "rogue: done"
)");
  std::string port = "KORRIN_TEST_NET_PORT=" + std::to_string(23000 + (getpid() % 500) * 8 + 4000);
  auto rogue = std::async(std::launch::async, [&] {
    RunOptions options;
    options.env = {port};
    options.workDir = rogueDir.path();
    options.timeoutMs = 60000;
    return runProgram({buildPath("krc"), "--debug", "--run", rogueDir.file("rogue.kb")}, options);
  });
  TempDir dir;
  RunOptions options;
  options.env = {port};
  RunResult r = play(dir, settings("net=join\nnet_address=127.0.0.1\nname=PLAIN\nseed=5\n", 1, 3), options);
  RunResult peer = rogue.get();
  ASSERT_TRUE(endedCleanly(r)) << r.err;
  EXPECT_TRUE(peer.errContains("rogue: done")) << peer.err;
  auto result = summary(dir);
  EXPECT_EQ(result["net_peer"], "ROGUE");
  EXPECT_EQ(result["net_peer_score"], "9");
}

// The committed assets are exactly what their generator makes.
TEST(DemoGame, AssetsAreTheGeneratorsOutput) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 is not installed (tools/setup.sh installs it)";
  TempDir dir;
  std::string assets = std::string(KR_SOURCE_DIR) + "/examples/game/assets";
  RunResult made = runProgram({"/usr/bin/python3", assets + "/make_assets.py", dir.path()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  for (const char* name : {"ship.png", "ship2.png", "rock.png", "boom.png", "bullet.png", "shoot.wav", "boom.wav",
                           "hurt.wav", "start.wav", "title.mod", "play.mid"}) {
    std::string fresh = readFile(dir.file(name));
    EXPECT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == readFile(assets + "/" + name)) << name << " differs from its generator's output";
  }
}
