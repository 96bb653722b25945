#include "utils/loader/DynamicLibrary.h"
#include "utils/text/Exception.h"
#include "utils/loader/NotLoadedException.h"

#include "tests/loader/LoaderTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <stdexcept>

using namespace LoaderTest;
using Norvik::Utils::DynamicLibrary;
using Norvik::Utils::NotLoadedException;
using Strings = std::vector<std::string>;

namespace {

LogCapture capture;
const std::string lampFile = "libBrillLamp.so";
const std::string absentFile = "libLoaderProbeAbsent.so";
const std::string noFile = " - No such file or directory";

// Candidate names, silence and a required export are the test's to choose.
class ProbeLibrary : public DynamicLibrary {
public:
    explicit ProbeLibrary(std::list<std::wstring> names, const char* required = nullptr, bool silent = false)
        : names(std::move(names)), requiredExport(required), silent(silent)
    {
    }
    void* method(const char* name) const { return getMethod(name); }
    mutable int nameCalls = 0;
    int bindCalls = 0;

protected:
    void loadMethods() override
    {
        ++bindCalls;
        if (requiredExport != nullptr && getMethod(requiredExport) == nullptr)
            throw Norvik::Utils::Exception(3, L"нет точки входа " + wide(requiredExport));
    }
    std::list<std::wstring> getLibraryNames() const override
    {
        ++nameCalls;
        return names;
    }
    bool isSilent() const override { return silent; }

private:
    std::list<std::wstring> names;
    const char* requiredExport;
    bool silent;
};

bool mapped(const std::string& file)
{
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

class DynamicLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { capture.newLines(); }
    Strings searched() { return withPrefix(lines = capture.newLines(), "INFO поиск библиотеки "); }
    Strings lines;
};

} // namespace

TEST_F(DynamicLibraryTest, SearchesDirectoriesInOrderWithoutAdjacentRepeatsThenTheBareName)
{
    const std::string a = scratchDirectory() + "/a";
    const std::string b = scratchDirectory() + "/b";
    ProbeLibrary library({wide(absentFile)});
    try {
        library.load(wide(a + ";" + a + ";" + b));
        FAIL() << "loaded a missing library";
    } catch (const NotLoadedException& error) {
        const std::string expected = "Library loading is failed " + absentFile + " (" + absentFile + " - ";
        EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected);
        EXPECT_GT(std::string(error.what()).size(), expected.size() + 1) << "no system text";
    }
    EXPECT_EQ(searched(), (Strings{a + "/" + absentFile, b + "/" + absentFile, absentFile}));
    EXPECT_EQ(library.nameCalls, 3);
    // Missing absolute files are warnings; a bare name that the system could not find is an error.
    EXPECT_EQ(withPrefix(lines, "WARN "), (Strings{a + "/" + absentFile + noFile, b + "/" + absentFile + noFile}));
    const Strings errors = withPrefix(lines, "ERROR ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].substr(0, absentFile.size() + 3), absentFile + " - ");
}

TEST_F(DynamicLibraryTest, EmptyAndSemicolonListsTryEachNameOnceByBareName)
{
    for (const std::wstring directories : {L"", L";"}) {
        ProbeLibrary library({L"libLoaderProbeOne.so", L"", L"libLoaderProbeTwo.so"});
        EXPECT_THROW(library.load(directories), NotLoadedException);
        EXPECT_EQ(searched(), (Strings{"libLoaderProbeOne.so", "libLoaderProbeTwo.so"}));
        EXPECT_EQ(library.nameCalls, 1);
    }
}

TEST_F(DynamicLibraryTest, LoadsOnceRemembersWhereAndFreesTheModule)
{
    ProbeLibrary library({wide(lampFile)}, "RedOpenBrillLamp");
    library.load(wide(scratchDirectory() + ";" + libraryDirectory("full")));
    ASSERT_TRUE(library.isLoaded());
    EXPECT_EQ(library.getFileName(), wide(lampFile));
    EXPECT_EQ(library.getDirectory(), wide(libraryDirectory("full")));
    EXPECT_NE(library.method("GreenOpenBrillLamp"), nullptr);
    EXPECT_EQ(library.method("NoSuchExport"), nullptr);
    EXPECT_EQ(searched(), (Strings{scratchDirectory() + "/" + lampFile, lampIn("full")}));
    EXPECT_EQ(withPrefix(lines, "INFO успешно подключено - "), Strings{lampFile});

    library.load(L"");
    library.loadFile(wide(lampIn("no-init")));
    EXPECT_TRUE(capture.newLines().empty());
    EXPECT_EQ(library.nameCalls, 2);
    EXPECT_EQ(library.bindCalls, 1);
    EXPECT_FALSE(mapped(lampIn("no-init")));

    library.unload();
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.method("GreenOpenBrillLamp"), nullptr);
    EXPECT_FALSE(mapped(lampIn("full")));
    EXPECT_EQ(library.getDirectory(), wide(libraryDirectory("full")));
    {
        ProbeLibrary scoped({wide(lampFile)});
        scoped.loadFile(wide(lampIn("no-yellow-close")));
        EXPECT_TRUE(mapped(lampIn("no-yellow-close")));
    }
    EXPECT_FALSE(mapped(lampIn("no-yellow-close")));
}

TEST_F(DynamicLibraryTest, BindingFailureIsLoggedUnloadedAndTheSearchGoesOn)
{
    ProbeLibrary library({wide(lampFile)}, "RedOpenBrillLamp");
    library.load(wide(libraryDirectory("no-red-open") + ";" + libraryDirectory("full")));
    ASSERT_TRUE(library.isLoaded());
    EXPECT_EQ(library.getDirectory(), wide(libraryDirectory("full")));
    EXPECT_EQ(library.bindCalls, 2);
    EXPECT_FALSE(mapped(lampIn("no-red-open")));
    EXPECT_EQ(withPrefix(capture.newLines(), "ERROR "),
              Strings{lampIn("no-red-open") + " - ошибка загрузки методов - нет точки входа RedOpenBrillLamp"});

    ProbeLibrary onlyBroken({wide(lampFile)}, "RedOpenBrillLamp");
    EXPECT_THROW(onlyBroken.loadFile(wide(lampIn("no-red-open"))), NotLoadedException);
    EXPECT_FALSE(onlyBroken.isLoaded());
    EXPECT_EQ(onlyBroken.getFileName(), L"");
}

TEST_F(DynamicLibraryTest, MissingAbsoluteFileWarnsOtherFailuresAreErrors)
{
    // "%" in the path must reach the log and the message literally.
    const std::string missing = scratchDirectory() + "/100%s%n%ls/" + lampFile;
    ProbeLibrary library({wide(lampFile)});
    try {
        library.loadFile(wide(missing));
        FAIL() << "loaded a missing file";
    } catch (const NotLoadedException& error) {
        EXPECT_EQ(error.getCode(), -1);
        EXPECT_EQ(error.getMessage(), wide("Library loading is failed " + missing + " (" + missing + noFile + ")"));
    }
    EXPECT_EQ(capture.newLines(), (Strings{"INFO поиск библиотеки " + missing, "WARN " + missing + noFile}));

    const std::string unresolved = lampIn("unresolved");
    EXPECT_THROW(library.loadFile(wide(unresolved)), NotLoadedException);
    const Strings errors = withPrefix(capture.newLines(), "ERROR ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].substr(0, unresolved.size() + 3), unresolved + " - ");
    EXPECT_NE(errors[0].find("lampBoardPresent"), std::string::npos) << errors[0];
    EXPECT_EQ(library.bindCalls, 0);
}

TEST_F(DynamicLibraryTest, SilentLibraryLogsNothing)
{
    ProbeLibrary failing({wide(absentFile), wide(lampFile)}, "NoSuchExport", true);
    EXPECT_THROW(failing.load(wide(libraryDirectory("no-red-open"))), NotLoadedException);
    EXPECT_THROW(failing.loadFile(wide(scratchDirectory() + "/" + absentFile)), NotLoadedException);
    EXPECT_GE(failing.bindCalls, 1);
    ProbeLibrary loading({wide(lampFile)}, nullptr, true);
    loading.load(wide(libraryDirectory("full")));
    EXPECT_TRUE(loading.isLoaded());
    EXPECT_TRUE(capture.newLines().empty());
}

TEST_F(DynamicLibraryTest, NamesWithAndWithoutDirectory)
{
    ProbeLibrary joined({wide(lampIn("full"))});
    try {
        joined.load(L"/opt");
        FAIL() << "joined an absolute name";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "path::operator/(): expected a relative path!");
    }
    EXPECT_FALSE(joined.isLoaded());

    ProbeLibrary alone({wide(lampIn("full"))});
    alone.load(L"");
    EXPECT_EQ(alone.getDirectory(), wide(libraryDirectory("full")));

    ProbeLibrary bare({L"libz.so.1"}, "gzopen");
    bare.load(L"");
    ASSERT_TRUE(bare.isLoaded());
    EXPECT_EQ(bare.getFileName(), L"libz.so.1");
    EXPECT_EQ(bare.getDirectory(), L"");
}
