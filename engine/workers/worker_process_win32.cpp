// The worker port on Windows: CreateProcessW of the program's own file with the worker
// switch and two inherited handles on its command line: the read end of an anonymous
// pipe for jobs, and the client end of a named pipe for answers. The run reads the
// answers with overlapped I/O, so it can wait for them with a time limit, and for
// several workers at once. Every worker is in one job object that caps its memory
// and ends it with the program.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <new>

#include "base/wide_win32.h"
#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"

struct WorkerProcess {
  HANDLE process = nullptr;
  HANDLE jobs = nullptr;     // write end of the job pipe
  HANDLE answers = nullptr;  // server end of the answer pipe, overlapped
  HANDLE event = nullptr;
  OVERLAPPED overlapped = {};
  bool pending = false;
  uint8_t chunk[1 << 16];
};

namespace {

constexpr DWORD kQuitWaitMs = 2000;
HANDLE gChannelIn = nullptr;
HANDLE gChannelOut = nullptr;

void CloseIf(HANDLE* handle) {
  if (*handle && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = nullptr;
}

Text LastErrorText() {
  constexpr DWORD kUnits = 256;
  char16_t buffer[kUnits] = {};
  DWORD code = GetLastError();
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                           reinterpret_cast<wchar_t*>(buffer), kUnits, nullptr);
  while (n > 0 && (buffer[n - 1] == u'\r' || buffer[n - 1] == u'\n' || buffer[n - 1] == u' ')) --n;
  return n > 0 ? Text(buffer, n) : u"error " + NumberText(code);
}

// One job object for every worker: each is capped on its own, and all of them end
// when the program does, however it ends.
HANDLE WorkerJobObject(uint64_t memoryCap) {
  static HANDLE job = [memoryCap]() -> HANDLE {
    HANDLE made = CreateJobObjectW(nullptr, nullptr);
    if (!made) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (memoryCap > 0) {
      limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
      limits.ProcessMemoryLimit = static_cast<SIZE_T>(memoryCap);
    }
    SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return made;
  }();
  return job;
}

Text PipeName() {
  static std::atomic<unsigned> counter{0};
  return u"\\\\.\\pipe\\tessaly-worker-" + NumberText(GetCurrentProcessId()) + u"-" + NumberText(counter++);
}

Text HandleText(HANDLE handle) {
  return NumberText(static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle)));
}

// The answer pipe: the server end stays here, the client end goes to the worker.
bool MakeAnswerPipe(WorkerProcess* worker, HANDLE* client) {
  Text name = PipeName();
  worker->answers =
      CreateNamedPipeW(Wide(name), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, sizeof worker->chunk, 0, nullptr);
  if (worker->answers == INVALID_HANDLE_VALUE) {
    worker->answers = nullptr;
    return false;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  *client = CreateFileW(Wide(name), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
  if (*client == INVALID_HANDLE_VALUE) return false;
  worker->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  worker->overlapped.hEvent = worker->event;
  // The client is already there; connecting only confirms it.
  if (!ConnectNamedPipe(worker->answers, &worker->overlapped)) {
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      DWORD ignored = 0;
      GetOverlappedResult(worker->answers, &worker->overlapped, &ignored, TRUE);
    } else if (error != ERROR_PIPE_CONNECTED) {
      return false;
    }
  }
  return worker->event != nullptr;
}

bool Launch(WorkerProcess* worker, TextView program, HANDLE jobRead, HANDLE answerWrite, uint64_t memoryCap) {
  // Appended piece by piece: GCC 12 warns about a quote prepended to a moved string.
  Text line(1, u'"');
  line.append(program).append(u"\" ").append(kWorkerSwitchText).append(u" ");
  line.append(HandleText(jobRead)).append(u" ").append(HandleText(answerWrite));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  Text applicationName(program);
  if (!CreateProcessW(Wide(applicationName), const_cast<wchar_t*>(Wide(line)), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
    return false;
  if (HANDLE job = WorkerJobObject(memoryCap)) AssignProcessToJobObject(job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  worker->process = info.hProcess;
  return true;
}

void FreeWorker(WorkerProcess* worker) {
  if (worker->pending) {
    CancelIo(worker->answers);
    DWORD ignored = 0;
    GetOverlappedResult(worker->answers, &worker->overlapped, &ignored, TRUE);
  }
  CloseIf(&worker->jobs);
  CloseIf(&worker->answers);
  CloseIf(&worker->event);
  CloseIf(&worker->process);
  worker->~WorkerProcess();
  VirtualFree(worker, 0, MEM_RELEASE);
}

Text ExitText(DWORD code) {
  if (code >= 0xC0000000u) {
    const char16_t digits[] = u"0123456789ABCDEF";
    Text hex = u"0x";
    for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(digits[(code >> shift) & 0xF]);
    return u"исключение " + hex;
  }
  return code == 0 ? Text() : u"код выхода " + NumberText(code);
}

}  // namespace

WorkerProcess* WorkerProcessStart(TextView program, uint64_t memoryCap, Text* reason) {
  // Wine refuses overlapped reads into memory it did not hand out itself (the host
  // C library's heap of a Winelib program): ERROR_INVALID_USER_BUFFER. The record
  // with its buffer and OVERLAPPED therefore comes from VirtualAlloc.
  void* place = VirtualAlloc(nullptr, sizeof(WorkerProcess), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  auto* worker = new (place) WorkerProcess;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE jobRead = nullptr, answerWrite = nullptr;
  bool ok = CreatePipe(&jobRead, &worker->jobs, &inherit, 0) &&
            SetHandleInformation(worker->jobs, HANDLE_FLAG_INHERIT, 0) && MakeAnswerPipe(worker, &answerWrite) &&
            Launch(worker, program, jobRead, answerWrite, memoryCap);
  if (!ok) *reason = LastErrorText();
  // The worker holds its own copies now; the answer pipe breaks when the worker ends.
  CloseIf(&jobRead);
  if (answerWrite != INVALID_HANDLE_VALUE) CloseIf(&answerWrite);
  if (ok) return worker;
  FreeWorker(worker);
  return nullptr;
}

bool WorkerProcessSend(WorkerProcess* worker, const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD written = 0;
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
    if (!WriteFile(worker->jobs, bytes.data() + at, piece, &written, nullptr) || written == 0) return false;
    at += written;
  }
  return true;
}

WorkerRead WorkerProcessRead(WorkerProcess* worker, uint32_t waitMs, std::vector<uint8_t>* bytes) {
  if (!worker->pending) {
    ResetEvent(worker->event);
    DWORD now = 0;
    if (!ReadFile(worker->answers, worker->chunk, sizeof worker->chunk, &now, &worker->overlapped)) {
      DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) return WorkerRead::Ended;
    }
    worker->pending = true;
  }
  if (WaitForSingleObject(worker->event, waitMs) == WAIT_TIMEOUT) return WorkerRead::Nothing;
  DWORD got = 0;
  BOOL done = GetOverlappedResult(worker->answers, &worker->overlapped, &got, FALSE);
  worker->pending = false;
  if (!done || got == 0) return WorkerRead::Ended;
  bytes->insert(bytes->end(), worker->chunk, worker->chunk + got);
  return WorkerRead::Data;
}

intptr_t WorkerProcessWaitHandle(const WorkerProcess* worker) {
  return reinterpret_cast<intptr_t>(worker->event);
}

void WorkerProcessWaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs) {
  std::vector<HANDLE> events;
  for (intptr_t handle : handles)
    if (events.size() < MAXIMUM_WAIT_OBJECTS) events.push_back(reinterpret_cast<HANDLE>(handle));
  if (events.empty()) {
    Sleep(waitMs == UINT32_MAX ? INFINITE : waitMs);
    return;
  }
  WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, waitMs == UINT32_MAX ? INFINITE : waitMs);
}

bool WorkerProcessRunning(const WorkerProcess* worker) {
  return WaitForSingleObject(worker->process, 0) == WAIT_TIMEOUT;
}

Text WorkerProcessEnd(WorkerProcess* worker, bool kill) {
  if (kill) TerminateProcess(worker->process, 1);
  CloseIf(&worker->jobs);  // a worker waiting for its next job sees the end and leaves
  if (WaitForSingleObject(worker->process, kQuitWaitMs) == WAIT_TIMEOUT) {
    TerminateProcess(worker->process, 1);
    WaitForSingleObject(worker->process, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(worker->process, &code);
  FreeWorker(worker);
  return kill ? Text() : ExitText(code);
}

void WorkerProcessRetire(WorkerProcess* worker) {
  // Its end of the job pipe closed, it leaves by itself; nothing here waits for that.
  FreeWorker(worker);
}

void WorkerProcessWaitRetired() {
  // Nothing to reap on Windows: a retired worker's handles are already closed.
}

bool WorkerChannelOpen(TextView tail) {
  // "--tessaly-worker <job pipe> <answer pipe>", handles as decimal numbers.
  auto number = [&tail](size_t* at) {
    uint64_t value = 0;
    while (*at < tail.size() && tail[*at] == u' ') ++*at;
    size_t start = *at;
    while (*at < tail.size() && tail[*at] >= u'0' && tail[*at] <= u'9') value = value * 10 + (tail[(*at)++] - u'0');
    return *at > start ? value : 0;
  };
  size_t at = tail.find(u' ');
  if (at == TextView::npos) return false;
  gChannelIn = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(number(&at)));
  gChannelOut = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(number(&at)));
  return gChannelIn && gChannelOut;
}

bool WorkerChannelRead(std::vector<uint8_t>* bytes) {
  uint8_t chunk[1 << 16];
  DWORD got = 0;
  if (!ReadFile(gChannelIn, chunk, sizeof chunk, &got, nullptr) || got == 0) return false;
  bytes->insert(bytes->end(), chunk, chunk + got);
  return true;
}

bool WorkerChannelWrite(const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD written = 0;
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
    if (!WriteFile(gChannelOut, bytes.data() + at, piece, &written, nullptr) || written == 0) return false;
    at += written;
  }
  return true;
}
