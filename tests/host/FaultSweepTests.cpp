#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

#include "console/Form1.h"
#include "helpers/FuncLib.h"
#include "registry/RegFile.h"
#include "tests/fakes/CallFault.h"
#include "tests/fakes/FakeText.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

const std::wstring ClassesRoot = L"HKEY_LOCAL_MACHINE\\Software\\Classes";

std::vector<std::wstring> KeysOf(const std::wstring& dump)
{
    std::vector<std::wstring> keys;
    std::wistringstream lines(dump);
    for (std::wstring line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != L' ')
            keys.push_back(line);
    }
    return keys;
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The suite as installed, with a registry link inside one class key whose
// target lies outside every tree that Delete names.
void InstallSuite()
{
    SuiteFixture::Prepare(SuiteFixture::Machine::SuiteInstalled);
    auto& registry = FakeRegistry::Instance();
    registry.SetString(L"Software\\Outside\\Target\\Sub", L"", L"kept");
    registry.CreateLink(L"Software\\Classes\\CLSID\\" + SuiteFixture::Guid(3, L'C') + L"\\Link",
                        L"Software\\Outside\\Target");
}

// Each command is run once for every step it takes, with that one registry or
// process call failing. Whatever fails, the command ends, leaves no key open,
// removes nothing outside the trees it names, and does not call an unfinished
// job done: its closing error line is there whenever the result falls short.
TEST(FaultSweep, EveryStepOfEveryCommandMayFail)
{
    struct Command {
        const char* name;
        std::function<void(Form1&, const Form1&)> prepare;
        std::function<void(Form1&)> run;
        std::wstring closingLine;
    };
    const Command commands[] = {
        {"Load", [](Form1&, const Form1&) {}, [](Form1& form) { form.cmdLoad_Click(); },
         SuiteFixture::ClosingLine(L"LOADING")},
        // What an undisturbed Load leaves for Delete, for the first four
        // classes: they share a type library and hold the link, and every
        // class more would make the sweep longer by its square.
        {"Delete",
         [](Form1& form, const Form1& clean) {
             auto first = [](const auto& list) { return std::vector<std::wstring>(list->begin(), list->begin() + 4); };
             form.ClassList = first(clean.ClassList);
             form.ClsidList = first(clean.ClsidList);
             form.TypeLibList = first(clean.TypeLibList);
         },
         [](Form1& form) { form.cmdDelete_Click(); },
         SuiteFixture::ClosingLine(L"DELETING")},
        {"Create", [](Form1&, const Form1&) {}, [](Form1& form) { form.cmdCreate_Click(); },
         SuiteFixture::ClosingLine(L"CREATING")},
    };
    auto& registry = FakeRegistry::Instance();
    auto& fault = CallFault::Instance();

    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        // What Load finds when nothing fails.
        InstallSuite();
        FakeView cleanView;
        Form1 clean(cleanView);
        clean.cmdLoad_Click();

        int steps = 0;
        for (int n = 1;; ++n) {
            InstallSuite();
            FakeView view;
            Form1 form(view);
            form.AppPath = SuiteFixture::AppDir;
            form.SystemPath = SuiteFixture::SysDir;
            command.prepare(form, clean);
            std::wstring before = registry.Dump();
            std::size_t logBefore = view.log.size();

            fault.Arm(n);
            command.run(form);
            std::wstring failed = fault.failed;
            fault.Arm(0);
            if (failed.empty())
                break;
            steps = n;
            SCOPED_TRACE(testing::Message() << "step " << n << " failed: " << std::string(failed.begin(), failed.end()));

            std::wstring log = view.log.substr(logBefore);
            bool closed = EndsWith(log, command.closingLine);
            EXPECT_EQ(registry.OpenHandleCount(), 0);
            EXPECT_EQ(registry.StrayCloseCount(), 0);

            if (std::string(command.name) == "Load") {
                bool fellShort = form.ClsidList != clean.ClsidList || form.TypeLibList != clean.TypeLibList;
                EXPECT_TRUE(closed || !fellShort) << "Load found less and said nothing";
            } else if (std::string(command.name) == "Delete") {
                std::vector<std::wstring> named;
                for (std::size_t i = 0; i < form.ClassList->size(); ++i)
                    for (const std::wstring& tree :
                         {L"Software\\Classes\\" + (*form.ClassList)[i], L"Software\\Classes\\CLSID\\" + (*form.ClsidList)[i],
                          L"Software\\Classes\\TypeLib\\" + (*form.TypeLibList)[i]})
                        named.push_back(tree);
                auto inNamed = [&named](const std::wstring& key) {
                    for (const auto& tree : named) {
                        if (key.size() >= tree.size() && EqualsIgnoringCase(key.substr(0, tree.size()), tree) &&
                            (key.size() == tree.size() || key[tree.size()] == L'\\'))
                            return true;
                    }
                    return false;
                };
                // Nothing goes that is not in the backup.
                std::set<std::wstring> kept;
                for (const auto& [path, bytes] : FakeFiles::Instance().contents) {
                    for (const auto& key : ParseRegFile(DecodeUtf16File(bytes).value_or(L""), ClassesRoot).keys)
                        kept.insert(Lower(key.path.substr(std::wstring(L"HKEY_LOCAL_MACHINE\\").size())));
                }
                bool left = false;
                for (const auto& key : KeysOf(before)) {
                    bool exists = registry.KeyExists(key);
                    // A registry link is noted in a comment: the format cannot hold one.
                    bool link = before.find(L"\n" + key + L"\n  SymbolicLinkValue (6)") != std::wstring::npos;
                    EXPECT_TRUE(exists || link || kept.count(Lower(key))) << "gone without a backup: "
                                                                  << std::string(key.begin(), key.end());
                    EXPECT_TRUE(exists || inNamed(key))
                        << "removed outside the named trees: " << std::string(key.begin(), key.end());
                    left = left || (inNamed(key) && exists);
                }
                EXPECT_TRUE(registry.KeyExists(L"Software\\Outside\\Target\\Sub"));
                EXPECT_TRUE(closed || !left) << "Delete left keys and said nothing";
            } else {
                EXPECT_TRUE(closed || FakeProcesses::Instance().succeeded == 9)
                    << "Create registered less and said nothing";
            }
        }
        EXPECT_GT(steps, 9);
    }
}

}  // namespace
