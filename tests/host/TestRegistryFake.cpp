#include "tests/common/TestRegistry.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"

namespace TestRegistry {

void CreateKey(const std::wstring& path)
{
    FakeRegistry::Instance().CreateKey(path);
}

void SetValue(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes)
{
    FakeRegistry::Instance().SetValue(path, name, type, bytes);
}

void SetValueWide(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes)
{
    FakeRegistry::Instance().SetValue(path, name, type, FakeRegistry::HeldBytes(type, bytes));
}

void CreateLink(const std::wstring& path, const std::wstring& target)
{
    FakeRegistry::Instance().CreateLink(path, target);
}

long OpenHandleCount()
{
    return FakeRegistry::Instance().OpenHandleCount();
}

void DeleteTree(const std::wstring& path)
{
    FakeRegistry::Instance().DeleteTree(path);
}

bool KeyExists(const std::wstring& path)
{
    return FakeRegistry::Instance().KeyExists(path);
}

void SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    FakeSystem::Instance().environment[name] = value;
}

}  // namespace TestRegistry
