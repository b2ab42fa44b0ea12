// Figures of the real Vornell.exe under Wine, printed as markdown table rows.
// Nothing here passes or fails on a time; a run fails only when a page it
// waits for never comes.
//
//   vornell_bench startup [RUNS]     start-up against the baseline program, and the
//                                    baseline's memory (one warm-up each, not counted);
//                                    the median of each start-up mark the wizard logs
//   vornell_bench install HISTORY    one happy-route install: overhead, WM_NULL round
//                                    trips, memory. Appends its raw figures to the file
//                                    HISTORY and prints the summary of every run in it,
//                                    so each run can have a fresh prefix.
//   add --trace to print every round-trip sample as it is taken.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* kSerial = L"RX7300001";
const wchar_t* kBaselineCaption = L"Vornell baseline";
constexpr int kLicenseBox = 1022;
constexpr int kNext = 1001;
constexpr int kStatus = 1018;

// The pauses the install step must make: one per staged entry, the wait's
// first look, the success page's pause.
constexpr double kPausePerEntryMs = 100;
constexpr double kFirstLookMs = 7000;
constexpr double kSuccessPauseMs = 3000;

constexpr DWORD kSampleEveryMs = 20;
constexpr UINT kRoundTripLimitMs = 15000;

bool g_trace = false;

double NowMs() {
  static const double perMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / perMs;
}

// ---- statistics ----

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  // Nearest rank: the smallest value with at least p of the samples at or below it.
  size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size()) + 0.999999);
  rank = std::clamp<size_t>(rank, 1, v.size());
  return v[rank - 1];
}
double Median(const std::vector<double>& v) {
  if (v.empty()) return 0;
  std::vector<double> s = v;
  std::sort(s.begin(), s.end());
  const size_t n = s.size();
  return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}
double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

std::string Fixed(double v, int decimals) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  return b;
}
std::string Ms(double v) { return Fixed(v, v < 10 ? 2 : 0) + " ms"; }
std::string Mb(double bytes) { return Fixed(bytes / (1024.0 * 1024.0), 1) + " MB"; }

// Narrow literals are GBK; what reaches the terminal and the README is UTF-8.
void Say(const std::string& gbk) {
  const std::string utf8 = Utf8(Wide(gbk));
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Row(const std::string& figure, const std::string& value, const std::string& spread,
         const std::string& n) {
  Say("| " + figure + " | " + value + " | " + spread + " | " + n + " |");
}
std::string Spread(const std::vector<double>& v) { return Ms(Min(v)) + " – " + Ms(Max(v)); }
std::string Runs(size_t n) { return std::to_string(n) + " runs"; }

// ---- the process under measurement ----

int CountThreads(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  int n = 0;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID == pid) ++n;
  }
  CloseHandle(snap);
  return n;
}

// Peak working set and the highest GDI and USER object counts seen so far.
struct Memory {
  double peakWorkingSet = 0;
  DWORD gdi = 0;
  DWORD user = 0;
  bool guiCounted = false;  // GetGuiResources gave a non-zero count at least once
  DWORD guiError = 0;       // the last error when it gave 0 for both

  void Sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
      peakWorkingSet = std::max(peakWorkingSet, static_cast<double>(pmc.PeakWorkingSetSize));
    }
    SetLastError(0);
    const DWORD g = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD u = GetGuiResources(process, GR_USEROBJECTS);
    if (g != 0 || u != 0) guiCounted = true;
    else guiError = GetLastError();
    gdi = std::max(gdi, g);
    user = std::max(user, u);
  }
};

std::string GuiFailure(DWORD error) {
  return "GetGuiResources returns 0" + (error != 0 ? ", error " + std::to_string(error) : std::string());
}

bool RoundTrip(HWND window, UINT message, DWORD_PTR* result = nullptr) {
  DWORD_PTR r = 0;
  const bool ok = SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, kRoundTripLimitMs, &r) != 0;
  if (result != nullptr) *result = r;
  return ok;
}

// ---- start-up ----

struct StartupRun {
  double ms = -1;      // -1: the page never showed
  DWORD textLength = 0;  // what the license box reported holding
  Memory memory;
  // The wizard's own start-up marks from its log, in its order: step, ms.
  std::vector<std::pair<std::string, double>> marks;
};

// The marks line each program writes to its log in %TEMP% once its first page
// is painted: "...: step 12.3; step 20.1; ...".
std::wstring MarksLogPath(bool wizard) {
  wchar_t temp[MAX_PATH] = {};
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  return std::wstring(temp) + (wizard ? L"Vornell.log" : L"vornell_baseline.log");
}

std::vector<std::pair<std::string, double>> StartupMarksFromLog(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  const std::string key = "start-up, ms since the process was created: ";
  std::vector<std::pair<std::string, double>> marks;
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(key);
    if (at == std::string::npos) continue;
    std::stringstream items(line.substr(at + key.size()));
    for (std::string item; std::getline(items, item, ';');) {
      const size_t space = item.find_last_of(' ');
      if (space == std::string::npos) continue;
      const size_t from = item.find_first_not_of(' ');
      marks.push_back({item.substr(from, space - from), std::atof(item.c_str() + space + 1)});
    }
  }
  return marks;
}

// From just before CreateProcess until, in one poll (every 2 ms), all of these
// held: the visible top-level window with the caption exists; its box 1022
// answers WM_GETTEXTLENGTH with more than 0; a WM_NULL sent to the window
// came back; and neither the window nor the box has an update region left,
// so the first WM_PAINT of both has been handled.
StartupRun MeasureStartup(const std::wstring& exe, const std::wstring& caption, const char* shot) {
  StartupRun run;
  Program p;
  const std::wstring marksLog = MarksLogPath(exe == ProgramPath());
  // Each run writes the log anew; none from an earlier run may count.
  DeleteFileW(marksLog.c_str());
  const double t0 = NowMs();
  if (!Start(p, exe, InstallFolder())) return run;
  HWND w = nullptr;
  // When each condition first held, for --trace.
  double found = -1, text = -1, answered = -1;
  while (NowMs() - t0 < 60000) {
    if (w == nullptr) {
      w = FindWindowOf(p.pid(), caption, 0);
      if (w != nullptr) found = NowMs() - t0;
    }
    if (w != nullptr) {
      HWND box = Item(w, kLicenseBox);
      DWORD_PTR length = 0;
      if (box != nullptr && RoundTrip(box, WM_GETTEXTLENGTH, &length) && length > 0) {
        if (text < 0) text = NowMs() - t0;
        if (RoundTrip(w, WM_NULL)) {
          if (answered < 0) answered = NowMs() - t0;
          if (!GetUpdateRect(w, nullptr, FALSE) && !GetUpdateRect(box, nullptr, FALSE)) {
            run.ms = NowMs() - t0;
            run.textLength = static_cast<DWORD>(length);
            break;
          }
        }
      }
    }
    Sleep(2);
  }
  if (g_trace) {
    std::printf("  window %.1f ms, text %.1f ms, WM_NULL %.1f ms, no update region %.1f ms\n", found, text,
                answered, run.ms);
  }
  // Settled: what the idle page holds.
  Sleep(500);
  run.memory.Sample(p.pi.hProcess);
  if (g_trace && w != nullptr) SaveScreenshot(w, shot);
  p.Kill();
  run.marks = StartupMarksFromLog(marksLog);
  // Lets Wine finish tearing the process down before the next one starts.
  Sleep(300);
  return run;
}

int Startup(int runs) {
  const std::wstring vornell = ProgramPath();
  const std::wstring baseline = InstallFolder() + L"\\vornell_baseline.exe";
  std::vector<double> vMs, bMs, vWs, bWs;
  // Each program's marks, in the order it takes them: [1] the wizard's, [0] the baseline's.
  std::vector<std::string> markOrder[2];
  std::map<std::string, std::vector<double>> markMs[2];
  Memory vLast, bLast;
  DWORD vText = 0, bText = 0;
  // Run 0 warms the file cache and Wine's own start-up paths for both; the
  // order alternates so that neither always runs right after the other.
  for (int i = 0; i <= runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      const bool isVornell = (i + k) % 2 == 0;
      const StartupRun r = isVornell ? MeasureStartup(vornell, kWizardCaption, "bench-startup-vornell")
                                     : MeasureStartup(baseline, kBaselineCaption, "bench-startup-baseline");
      if (r.ms < 0) {
        std::printf("start-up: the %s page did not show within 60 s\n", isVornell ? "wizard's" : "baseline's");
        return 1;
      }
      if (i == 0) continue;
      (isVornell ? vMs : bMs).push_back(r.ms);
      (isVornell ? vWs : bWs).push_back(r.memory.peakWorkingSet);
      (isVornell ? vLast : bLast) = r.memory;
      (isVornell ? vText : bText) = r.textLength;
      for (const auto& [step, ms] : r.marks) {
        if (markMs[isVornell].find(step) == markMs[isVornell].end()) markOrder[isVornell].push_back(step);
        markMs[isVornell][step].push_back(ms);
      }
    }
  }
  Row("Start-up to painted license page, Vornell.exe", Ms(Median(vMs)), Spread(vMs), Runs(vMs.size()));
  Row("Start-up to painted page, baseline", Ms(Median(bMs)), Spread(bMs), Runs(bMs.size()));
  Row("Start-up ratio Vornell.exe / baseline (medians)", Fixed(Median(vMs) / Median(bMs), 2) + "×",
      "of the fastest runs " + Fixed(Min(vMs) / Min(bMs), 2) + "×; box text " + std::to_string(vText) + " / " +
          std::to_string(bText) + " chars",
      "");
  Row("Peak working set at the license page, Vornell.exe", Mb(Median(vWs)),
      Mb(Min(vWs)) + " – " + Mb(Max(vWs)), Runs(vWs.size()));
  Row("Peak working set, baseline", Mb(Median(bWs)), Mb(Min(bWs)) + " – " + Mb(Max(bWs)),
      Runs(bWs.size()));
  // Where the time goes: each program's own marks, from the creation of its process.
  for (const bool wizard : {true, false}) {
    for (const std::string& step : markOrder[wizard]) {
      const std::vector<double>& v = markMs[wizard][step];
      Row(std::string(wizard ? "Start-up mark of Vornell.exe: " : "Start-up mark of the baseline: ") + step,
          Ms(Median(v)), Spread(v), Runs(v.size()));
    }
  }
  if (vLast.guiCounted || bLast.guiCounted) {
    Row("GDI / USER objects at the page, Vornell.exe / baseline",
        std::to_string(vLast.gdi) + " / " + std::to_string(vLast.user) + " against " + std::to_string(bLast.gdi) +
            " / " + std::to_string(bLast.user),
        "last run of each", "");
  } else {
    Row("GDI / USER objects at the page, Vornell.exe and baseline", "n/a (Wine)", GuiFailure(bLast.guiError), "");
  }
  return 0;
}

// ---- install ----

enum class Phase { kWorker, kBlocking };

struct Sample {
  double at;  // ms after the click
  double ms;  // round trip
  bool ok;    // came back within the limit
  int threadsBefore, threadsAfter;
};

// Samples the process every 20 ms while it lives: memory always, and while
// `recording` a WM_NULL round trip to the window with the thread count of
// the process before and after it.
class Sampler {
 public:
  Sampler(HANDLE process, DWORD pid, HWND window) : process_(process), pid_(pid), window_(window) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~Sampler() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  void Record(double origin) {
    origin_ = origin;
    recording_ = true;
  }
  void Pause() { recording_ = false; }
  const std::vector<Sample>& samples() const { return samples_; }
  const Memory& memory() const { return memory_; }

 private:
  void Loop() {
    // Sends keep to a 20 ms grid; after a long round trip the next goes at
    // once and the grid starts again from it, with no burst to catch up.
    double next = NowMs();
    while (!stop_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      memory_.Sample(process_);
      if (recording_) {
        Sample s{};
        s.threadsBefore = CountThreads(pid_);
        const double sent = NowMs();
        s.ok = RoundTrip(window_, WM_NULL);
        s.ms = NowMs() - sent;
        s.threadsAfter = CountThreads(pid_);
        s.at = sent - origin_;
        // A sample finished after the recording ended still belongs to the step.
        samples_.push_back(s);
        if (g_trace) {
          std::printf("  sample at %8.1f ms: %8.2f ms, threads %d/%d%s\n", s.at, s.ms, s.threadsBefore,
                      s.threadsAfter, s.ok ? "" : " (timed out)");
        }
      }
      next = std::max(next + kSampleEveryMs, NowMs());
      const double left = next - NowMs();
      if (left >= 1) Sleep(static_cast<DWORD>(left));
    }
  }

  HANDLE process_;
  DWORD pid_;
  HWND window_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> recording_{false};
  std::atomic<double> origin_{0};
  std::vector<Sample> samples_;
  Memory memory_;
  std::thread thread_;
};

int CountPackageEntries() {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((InstallFolder() + L"\\x64\\driver\\*.*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    if ((f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++n;
  } while (FindNextFileW(h, &f));
  FindClose(h);
  return n;
}

// One run's raw figures, as written to the history file.
struct InstallRun {
  double totalMs = 0, requiredMs = 0, peakWorkingSet = 0;
  DWORD gdi = 0, user = 0, guiError = 0;
  bool guiCounted = false;
  int baseThreads = 0;
  std::vector<std::pair<Phase, double>> roundTrips;
  int timedOut = 0, straddling = 0;
};

bool RunInstall(InstallRun& run) {
  if (!AttachPrinter(kSerial)) return false;
  const int entries = CountPackageEntries();
  run.requiredMs = entries * kPausePerEntryMs + kFirstLookMs + kSuccessPauseMs;

  Program p;
  if (!StartVornell(p)) return false;
  HWND w = p.window;
  Sampler sampler(p.pi.hProcess, p.pid(), w);

  DWORD_PTR length = 0;
  WaitUntil([&] { return RoundTrip(Item(w, kLicenseBox), WM_GETTEXTLENGTH, &length) && length > 0; }, 30000);
  if (!ClickAsUser(w, kNext)) {
    std::printf("install: the license page's button could not be clicked\n");
    return false;
  }
  if (!WaitForText(w, kStatus, kStatusFound, 30000) || !WaitUntil([&] { return ItemEnabled(w, kNext); }, 10000)) {
    std::printf("install: the connection page did not show\n");
    return false;
  }
  Sleep(500);  // the page settles; its thread count is the reference
  run.baseThreads = CountThreads(p.pid());
  // Added before the click, so the wait finds the queue at its first look.
  if (!AddQueue(PrinterQueueName())) return false;

  const double click = NowMs();
  sampler.Record(click);
  if (!ClickAsUser(w, kNext)) {
    Say("install: \"继续\" could not be clicked");
    return false;
  }
  std::string status;
  const bool ended = WaitUntil([&] {
    status = ItemText(w, kStatus);
    return status == kStatusInstalled || status == kStatusFailed;
  }, 120000, 2);
  run.totalMs = NowMs() - click;
  sampler.Pause();
  if (!ended || status != kStatusInstalled) {
    std::printf("install: %s\n", ended ? "the failure page showed" : "no result page within 120 s");
    return false;
  }

  // The rest of the route: "完成" and the end of the process.
  Sleep(300);
  if (!ClickAsUser(w, kNext) || p.WaitExit(30000) == STILL_ACTIVE) {
    Say("install: the wizard did not end after \"完成\"");
    return false;
  }
  sampler.Stop();

  for (const Sample& s : sampler.samples()) {
    // A worker existed for the whole sample only when the process had more
    // threads than on the connection page both before and after it.
    const bool worker = s.threadsBefore > run.baseThreads && s.threadsAfter > run.baseThreads;
    const bool neither = s.threadsBefore <= run.baseThreads && s.threadsAfter <= run.baseThreads;
    if (!worker && !neither) ++run.straddling;
    if (!s.ok) ++run.timedOut;
    run.roundTrips.push_back({worker ? Phase::kWorker : Phase::kBlocking, s.ms});
  }
  const Memory& m = sampler.memory();
  run.peakWorkingSet = m.peakWorkingSet;
  run.gdi = m.gdi;
  run.user = m.user;
  run.guiCounted = m.guiCounted;
  run.guiError = m.guiError;
  return true;
}

void Append(const std::wstring& history, const InstallRun& r) {
  std::ofstream out(history.c_str(), std::ios::app);
  out << "run " << Fixed(r.totalMs, 3) << ' ' << Fixed(r.requiredMs, 0) << ' ' << Fixed(r.peakWorkingSet, 0)
      << ' ' << r.gdi << ' ' << r.user << ' ' << (r.guiCounted ? 1 : 0) << ' ' << r.guiError << ' '
      << r.baseThreads << ' ' << r.timedOut << ' ' << r.straddling << '\n';
  for (const auto& [phase, ms] : r.roundTrips) {
    out << "rt " << (phase == Phase::kWorker ? "worker" : "blocking") << ' ' << Fixed(ms, 3) << '\n';
  }
}

std::vector<InstallRun> Load(const std::wstring& history) {
  std::vector<InstallRun> runs;
  std::ifstream in(history.c_str());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string kind;
    f >> kind;
    if (kind == "run") {
      InstallRun r;
      int counted = 0;
      f >> r.totalMs >> r.requiredMs >> r.peakWorkingSet >> r.gdi >> r.user >> counted >> r.guiError >>
          r.baseThreads >> r.timedOut >> r.straddling;
      r.guiCounted = counted != 0;
      runs.push_back(r);
    } else if (kind == "rt" && !runs.empty()) {
      std::string phase;
      double ms = 0;
      f >> phase >> ms;
      runs.back().roundTrips.push_back({phase == "worker" ? Phase::kWorker : Phase::kBlocking, ms});
    }
  }
  return runs;
}

void RoundTripRow(const std::string& figure, const std::vector<double>& v) {
  if (v.empty()) {
    Row(figure, "no samples", "", "0 samples");
    return;
  }
  Row(figure, "p50 " + Ms(Percentile(v, 50)),
      "p99 " + Ms(Percentile(v, 99)) + ", max " + Ms(Max(v)), std::to_string(v.size()) + " samples");
}

int Install(const std::wstring& history) {
  InstallRun run;
  if (!RunInstall(run)) return 1;
  Append(history, run);
  std::printf("install run: %s from the click to the success page, %s of required pauses, "
              "%d threads on the connection page\n",
              Ms(run.totalMs).c_str(), Ms(run.requiredMs).c_str(), run.baseThreads);

  const std::vector<InstallRun> runs = Load(history);
  std::vector<double> total, overhead, ws, worker, blocking;
  int timedOut = 0, straddling = 0;
  bool guiCounted = false;
  DWORD gdi = 0, user = 0, guiError = 0;
  for (const InstallRun& r : runs) {
    total.push_back(r.totalMs);
    overhead.push_back(r.totalMs - r.requiredMs);
    ws.push_back(r.peakWorkingSet);
    timedOut += r.timedOut;
    straddling += r.straddling;
    guiCounted = guiCounted || r.guiCounted;
    guiError = r.guiError;
    gdi = std::max(gdi, r.gdi);
    user = std::max(user, r.user);
    for (const auto& [phase, ms] : r.roundTrips) (phase == Phase::kWorker ? worker : blocking).push_back(ms);
  }
  Row("Install, click on “继续” to success page", Ms(Median(total)), Spread(total), Runs(runs.size()));
  Row("Install overhead (minus " + Fixed(run.requiredMs, 0) + " ms of required pauses)", Ms(Median(overhead)),
      Spread(overhead), Runs(runs.size()));
  RoundTripRow("WM_NULL round trip during worker waits", worker);
  RoundTripRow("WM_NULL round trip where the thread may block (check, staging, 3 s pause)", blocking);
  Row("Round trips straddling a worker's start or end / timed out (" + std::to_string(kRoundTripLimitMs) + " ms)",
      std::to_string(straddling) + " / " + std::to_string(timedOut), "counted where the thread may block", "");
  Row("Peak working set over the happy route, Vornell.exe", Mb(Median(ws)), Mb(Min(ws)) + " – " + Mb(Max(ws)),
      Runs(runs.size()));
  if (guiCounted) {
    Row("GDI / USER objects over the happy route, Vornell.exe (highest)",
        std::to_string(gdi) + " / " + std::to_string(user), "", Runs(runs.size()));
  } else {
    Row("GDI / USER objects over the happy route, Vornell.exe", "n/a (Wine)", GuiFailure(guiError), "");
  }
  return 0;
}

// One unattended install in this (fresh) prefix: the printer attached and
// its queue there before the start, so the wait sees it at its first look;
// from just before CreateProcess until the process has ended.
int Quiet(const std::wstring& history) {
  if (!AttachPrinter(kSerial) || !AddQueue(PrinterQueueName())) return 1;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + ProgramPath() + L"\" /quiet";
  LARGE_INTEGER frequency{}, from{}, to{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&from);
  if (!CreateProcessW(ProgramPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      InstallFolder().c_str(), &si, &pi)) {
    std::printf("could not start Vornell.exe /quiet\n");
    return 1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  QueryPerformanceCounter(&to);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  const double ms = 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("quiet run: exit code %lu after %s\n", code, Ms(ms).c_str());
  if (code != 0) return 1;
  {
    std::ofstream out(history.c_str(), std::ios::app);
    out << Fixed(ms, 3) << '\n';
  }
  std::vector<double> all;
  std::ifstream in(history.c_str());
  for (double v = 0; in >> v;) all.push_back(v);
  Row("Unattended install (/quiet), start of the process to its exit, printer and queue there",
      Ms(Median(all)), Spread(all), Runs(all.size()));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  const auto trace = std::find(args.begin(), args.end(), L"--trace");
  if (trace != args.end()) {
    g_trace = true;
    args.erase(trace);
  }
  if (!args.empty() && args[0] == L"startup") {
    const int runs = args.size() > 1 ? _wtoi(args[1].c_str()) : 5;
    return Startup(runs > 0 ? runs : 5);
  }
  if (args.size() == 2 && args[0] == L"install") return Install(args[1]);
  if (args.size() == 2 && args[0] == L"quiet") return Quiet(args[1]);
  std::printf("usage: vornell_bench startup [RUNS] | install HISTORY_FILE | quiet HISTORY_FILE [--trace]\n");
  return 2;
}
