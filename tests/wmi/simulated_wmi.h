// A scripted WMI in place of the real locator: namespaces that exist, objects
// that queries return, failures of each step, and a record of what was asked.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

struct SimValue {
    VARTYPE type = VT_EMPTY;
    long long number = 0;
    std::wstring text;
    bool null_bstr = false;
};

SimValue Empty();
SimValue Null();
SimValue Str(const std::wstring& text);
SimValue NullStr();
SimValue I2(short value);
SimValue I4(int value);
SimValue Bool(bool value);
SimValue UI1(unsigned char value);
SimValue UI2(unsigned short value);
SimValue UI4(unsigned value);
SimValue R8(double value);
SimValue StrArray(const std::vector<std::wstring>& texts);

// Property name -> value.
using SimObject = std::map<std::wstring, SimValue>;

struct SimBlanket {
    DWORD authn = 0, authz = 0, authn_level = 0, imp_level = 0, capabilities = 0;
    bool principal_null = false, identity_null = false;
};

struct SimulatedWmi {
    // Script.
    HRESULT create_result = S_OK;
    std::set<std::wstring> namespaces { L"ROOT\\CIMV2" };
    std::map<std::wstring, HRESULT> connect_failures;   // by path, before the namespace test
    HRESULT blanket_result = S_OK;
    HRESULT query_result = S_OK;
    HRESULT end_result = WBEM_S_FALSE;                   // Next's result after the last object
    std::map<std::wstring, std::vector<SimObject>> answers; // by "PATH|QUERY"

    // Record.
    std::vector<std::wstring> connects;  // paths
    std::vector<std::wstring> queries;   // "PATH|QUERY"
    std::vector<std::wstring> gets;      // property names asked for
    LONG connect_flags = -1;
    LONG query_flags = -1;
    std::wstring language;
    SimBlanket blanket;
    int live_objects = 0;                // COM objects not yet released

    void Answer(const std::wstring& path, const std::wstring& query, const std::vector<SimObject>& objects)
    {
        namespaces.insert(path);
        answers[path + L"|" + query] = objects;
    }
};

// The current script; reset and installed as the plug-in's locator by
// InstallSimulatedWmi.
extern SimulatedWmi Sim;
void InstallSimulatedWmi();

// Tests against the simulation: COM initialised as the host does, a fresh
// script per test, and every simulated object released at the end.
class SimulatedWmiTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        InstallSimulatedWmi();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, Sim.live_objects) << "COM objects left unreleased";
        CoUninitialize();
    }
};
