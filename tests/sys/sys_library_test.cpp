#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "interfaces/sys/SysLibrary.h"
#include "tests/support/Deadline.h"

namespace {

const std::wstring kHelper = L"Tamrix.Vision.SmartSegmenterHelper.dll";
const std::wstring kNoFactory = L"Tamrix.Vision.TestNoFactory.dll";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Every test starts and ends without a search directory; it is process-wide state.
class SysLibrary : public ::testing::Test {
 protected:
  void SetUp() override { sysSetLibrarySearchDirectory(L""); }
  void TearDown() override { sysSetLibrarySearchDirectory(L""); }
};

bool HasSymbol(SysLibraryHandle handle, const std::string& symbol) {
  SysProc function = nullptr;
  return sysGetProcAddress(handle, symbol, &function) == kSysOk && function != nullptr;
}

int CallMarker(SysLibraryHandle handle) {
  SysProc function = nullptr;
  if (sysGetProcAddress(handle, "TamrixTestModuleMarker", &function) != kSysOk) return -1;
  return reinterpret_cast<int (*)()>(function)();
}

TEST_F(SysLibrary, MissingModuleGivesNegativeStatusAndNamesTheFile) {
  SysLibraryHandle handle = reinterpret_cast<SysLibraryHandle>(0x1);
  const long status = sysLoadLibrary(L"Tamrix.Vision.DoesNotExist.dll", &handle);
  EXPECT_EQ(status, kSysLibraryNotLoaded);
  EXPECT_EQ(handle, reinterpret_cast<SysLibraryHandle>(0x1)) << "handle must stay unchanged";
  const std::string error = sysLastError();
  EXPECT_NE(error.find("Tamrix.Vision.DoesNotExist.dll"), std::string::npos) << error;
  EXPECT_NE(error.find("Tamrix.Vision.DoesNotExist.so"), std::string::npos) << error;
}

TEST_F(SysLibrary, MissingSymbolGivesNegativeStatusAndNamesTheSymbol) {
  SysLibraryHandle handle = nullptr;
  ASSERT_EQ(sysLoadLibrary(kHelper, &handle), kSysOk) << sysLastError();
  SysProc function = reinterpret_cast<SysProc>(0x1);
  EXPECT_EQ(sysGetProcAddress(handle, "NoSuchEntryPoint", &function), kSysSymbolNotFound);
  EXPECT_EQ(function, reinterpret_cast<SysProc>(0x1));
  EXPECT_NE(sysLastError().find("NoSuchEntryPoint"), std::string::npos) << sysLastError();
}

TEST_F(SysLibrary, SearchDirectoryIsSearchedBeforeTheLibraryDirectory) {
  // no_factory/ holds a module under the helper's file name that lacks the factory.
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR "/no_factory"));
  SysLibraryHandle substitute = nullptr;
  ASSERT_EQ(sysLoadLibrary(kHelper, &substitute), kSysOk) << sysLastError();
  EXPECT_FALSE(HasSymbol(substitute, "CreateSegmenterAccessWrapper"));
  EXPECT_EQ(CallMarker(substitute), 4711);

  // Without a search directory the real helper is found beside the system library.
  sysSetLibrarySearchDirectory(L"");
  EXPECT_EQ(sysLibraryDirectory(), TAMRIX_STAGE_LIB_DIR);
  SysLibraryHandle real = nullptr;
  ASSERT_EQ(sysLoadLibrary(kHelper, &real), kSysOk) << sysLastError();
  EXPECT_NE(real, substitute);
  EXPECT_TRUE(HasSymbol(real, "CreateSegmenterAccessWrapper"));
}

TEST_F(SysLibrary, SearchOnlyModeNeverFallsBackToTheUsualPlaces) {
  // The real helper sits beside the system library, but an exclusive search directory without it
  // must not find it there.
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR), SysSearchMode::SearchOnly);
  SysLibraryHandle handle = nullptr;
  EXPECT_EQ(sysLoadLibrary(kHelper, &handle), kSysLibraryNotLoaded);
  EXPECT_EQ(handle, nullptr);
  EXPECT_NE(sysLastError().find("only search directory"), std::string::npos) << sysLastError();
  // The module that is there still loads.
  EXPECT_EQ(sysLoadLibrary(L"Tamrix.Vision.TestNoFactory.dll", &handle), kSysOk) << sysLastError();
  // An empty directory restores the usual lookup.
  sysSetLibrarySearchDirectory(L"", SysSearchMode::SearchOnly);
  EXPECT_EQ(sysLoadLibrary(kHelper, &handle), kSysOk) << sysLastError();
}

TEST_F(SysLibrary, ModuleOnlyInSearchDirectoryNeedsTheSearchDirectory) {
  SysLibraryHandle handle = nullptr;
  EXPECT_LT(sysLoadLibrary(kNoFactory, &handle), 0);
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR));
  EXPECT_EQ(sysLibrarySearchDirectory(), Wide(TAMRIX_TEST_MODULE_DIR));
  ASSERT_EQ(sysLoadLibrary(kNoFactory, &handle), kSysOk) << sysLastError();
  EXPECT_EQ(CallMarker(handle), 4711);
}

TEST_F(SysLibrary, UnloadableFileInSearchDirectoryIsReportedNotSkipped) {
  // The real helper beside the system library must not be taken instead of the broken file.
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR "/broken"));
  SysLibraryHandle handle = nullptr;
  EXPECT_EQ(sysLoadLibrary(kHelper, &handle), kSysLibraryNotLoaded);
  EXPECT_EQ(handle, nullptr);
  const std::string error = sysLastError();
  EXPECT_NE(error.find(TAMRIX_TEST_MODULE_DIR "/broken/Tamrix.Vision.SmartSegmenterHelper.so"),
            std::string::npos)
      << error;
}

struct NameCase {
  const wchar_t* name;
};

class SysLibraryFileNames : public SysLibrary, public ::testing::WithParamInterface<NameCase> {};

// Every spelling of the module's name reaches the same loaded module.
TEST_P(SysLibraryFileNames, DllNameMapsToThePlatformModule) {
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR));
  SysLibraryHandle reference = nullptr;
  ASSERT_EQ(sysLoadLibrary(L"Tamrix.Vision.TestNoFactory.so", &reference), kSysOk)
      << sysLastError();
  SysLibraryHandle handle = nullptr;
  ASSERT_EQ(sysLoadLibrary(GetParam().name, &handle), kSysOk) << sysLastError();
  EXPECT_EQ(handle, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, SysLibraryFileNames,
    ::testing::Values(NameCase{L"Tamrix.Vision.TestNoFactory.dll"},
                      NameCase{L"Tamrix.Vision.TestNoFactory.DLL"},
                      NameCase{L"Tamrix.Vision.TestNoFactory.so"},
                      NameCase{TAMRIX_TEST_MODULE_DIR_W L"/Tamrix.Vision.TestNoFactory.dll"}));

TEST_F(SysLibrary, LoadingTwiceGivesAWorkingHandleToTheSameModule) {
  sysSetLibrarySearchDirectory(Wide(TAMRIX_TEST_MODULE_DIR));
  SysLibraryHandle first = nullptr;
  SysLibraryHandle second = nullptr;
  ASSERT_EQ(sysLoadLibrary(kNoFactory, &first), kSysOk);
  SysProc marker = nullptr;
  ASSERT_EQ(sysGetProcAddress(first, "TamrixTestModuleMarker", &marker), kSysOk);
  ASSERT_EQ(sysLoadLibrary(kNoFactory, &second), kSysOk);
  EXPECT_EQ(first, second);
  // The function resolved through the first handle stays callable: nothing was unloaded.
  EXPECT_EQ(reinterpret_cast<int (*)()>(marker)(), 4711);
  EXPECT_EQ(CallMarker(second), 4711);
}

TEST_F(SysLibrary, NullArgumentsAreRefused) {
  EXPECT_EQ(sysLoadLibrary(kHelper, nullptr), kSysInvalidArgument);
  EXPECT_NE(sysLastError().find("null"), std::string::npos);
  SysLibraryHandle handle = nullptr;
  EXPECT_EQ(sysLoadLibrary(L"", &handle), kSysInvalidArgument);
  SysProc function = nullptr;
  EXPECT_EQ(sysGetProcAddress(nullptr, "CreateSegmenterAccessWrapper", &function),
            kSysInvalidArgument);
  ASSERT_EQ(sysLoadLibrary(kHelper, &handle), kSysOk);
  EXPECT_EQ(sysGetProcAddress(handle, "CreateSegmenterAccessWrapper", nullptr),
            kSysInvalidArgument);
}

TEST_F(SysLibrary, LastErrorBelongsToTheFailingThread) {
  SysLibraryHandle handle = nullptr;
  ASSERT_LT(sysLoadLibrary(L"Tamrix.Vision.Missing.dll", &handle), 0);
  std::string seenByOtherThread = "not run";
  Tamrix::Testing::Threads other;
  other.Start([&] { seenByOtherThread = sysLastError(); });
  other.Join();
  EXPECT_EQ(seenByOtherThread, "");
  EXPECT_NE(sysLastError().find("Tamrix.Vision.Missing.dll"), std::string::npos);
}

TEST_F(SysLibrary, ConcurrentLoadsAllSucceedWithOneHandle) {
  constexpr int kThreads = 8;
  SysLibraryHandle handles[kThreads] = {};
  long statuses[kThreads] = {};
  Tamrix::Testing::Threads threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.Start([&, i] { statuses[i] = sysLoadLibrary(kHelper, &handles[i]); });
  }
  threads.Join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(statuses[i], kSysOk);
    EXPECT_EQ(handles[i], handles[0]);
  }
  EXPECT_NE(handles[0], nullptr);
}

}  // namespace
