#include <algorithm>
#include <cstdio>

#include "commands/Verify.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/CreationPlatform.h"

namespace {

std::string Narrowed(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

bool InSuite(const std::wstring& progId)
{
    return std::any_of(ClassTable.begin(), ClassTable.end(),
                       [&progId](const wchar_t* known) { return EqualsIgnoringCase(progId, known); });
}

}  // namespace

// Nothing of the parent's run is here: no lock (the parent holds it), no log, no verdict. Whatever the suite's
// code does to this process, the parent sees only the lines and the exit code.
int RunCreationChild(const std::vector<std::wstring>& arguments)
{
    if (std::uint32_t result = CreationPlatform::PrepareChild()) {
        char text[32];
        std::snprintf(text, sizeof text, "com 0x%08X", static_cast<unsigned>(result));
        CreationPlatform::WriteLine(text);
        return 1;
    }
    if (!CreationPlatform::WriteLine(CreationPlatform::TokenRestricted() ? "token restricted" : "token same"))
        return 1;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        // Only the suite's own classes: the switch is no way to have an elevated program create anything else.
        if (!InSuite(arguments[i]))
            return 2;
        Creation creation = CreationPlatform::CreateAsScript(arguments[i]);
        char result[16];
        std::snprintf(result, sizeof result, "%08X", static_cast<unsigned>(creation.result));
        std::string line = creation.step.empty()
                               ? "created " + Narrowed(arguments[i])
                               : "failed " + Narrowed(arguments[i]) + " " + Narrowed(creation.step) + " " + result;
        if (!CreationPlatform::WriteLine(line))
            return 1;
    }
    return 0;
}
