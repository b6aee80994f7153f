#pragma once

#include <string>

// Fails one chosen call among all the registry and process calls that the
// fakes receive, counted together from 1: for sweeping a command with a
// fault at every step it takes.
struct CallFault {
    int failAt = 0;  // 0: none
    int count = 0;
    std::wstring failed;  // the call that was failed, as the fakes record it

    static CallFault& Instance()
    {
        static CallFault fault;
        return fault;
    }
    void Arm(int n)
    {
        *this = CallFault();
        failAt = n;
    }
    // Counts a call; true when it is the one to fail.
    bool Take(const std::wstring& call)
    {
        if (++count != failAt)
            return false;
        failed = call;
        return true;
    }
};
