// The installer's side of the plug-in calling convention: a string stack whose
// entries are allocated as the host allocates them, holding text in either
// flavour (char: system ANSI code page, wchar_t: UTF-16). Tests speak UTF-8.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

template <typename Char>
std::basic_string<Char> FromUtf8(const std::string& text);

template <>
inline std::wstring FromUtf8<wchar_t>(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
        static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

template <>
inline std::string FromUtf8<char>(const std::string& text)
{
    std::wstring wide = FromUtf8<wchar_t>(text);
    std::string ansi(wide.size() * 2, '\0');
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
        static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.resize(length > 0 ? length : 0);
    return ansi;
}

inline std::string ToUtf8(const std::wstring& wide)
{
    std::string text(wide.size() * 4, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
        static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(length > 0 ? length : 0);
    return text;
}

inline std::string ToUtf8(const std::string& ansi)
{
    std::wstring wide(ansi.size(), L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
        static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return ToUtf8(wide);
}

template <typename Char>
class TestStack {
public:
    struct Entry {
        Entry* next;
    };

    explicit TestStack(int string_size = 1024) : string_size_(string_size) {}
    TestStack(const TestStack&) = delete;
    TestStack& operator=(const TestStack&) = delete;
    ~TestStack()
    {
        while (top_) {
            Entry* entry = top_;
            top_ = entry->next;
            GlobalFree(entry);
        }
    }

    static Char* Text(Entry* entry) { return reinterpret_cast<Char*>(reinterpret_cast<char*>(entry) + sizeof(Entry*)); }

    // As the host pushes: an entry of its string size, the text cut to fit.
    void Push(const std::string& utf8)
    {
        std::basic_string<Char> text = FromUtf8<Char>(utf8);
        auto entry = static_cast<Entry*>(GlobalAlloc(GPTR, sizeof(Entry*) + string_size_ * sizeof(Char)));
        size_t length = text.size() < static_cast<size_t>(string_size_) ? text.size() : string_size_ - 1;
        text.copy(Text(entry), length);
        entry->next = top_;
        top_ = entry;
    }

    // The top text, or "<empty stack>".
    std::string Pop()
    {
        if (!top_)
            return "<empty stack>";
        Entry* entry = top_;
        std::string text = ToUtf8(std::basic_string<Char>(Text(entry)));
        top_ = entry->next;
        GlobalFree(entry);
        return text;
    }

    // All texts, top first.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (Entry* entry = top_; entry; entry = entry->next)
            texts.push_back(ToUtf8(std::basic_string<Char>(Text(entry))));
        return texts;
    }

    // Entry addresses, top first.
    std::vector<Entry*> Entries() const
    {
        std::vector<Entry*> entries;
        for (Entry* entry = top_; entry; entry = entry->next)
            entries.push_back(entry);
        return entries;
    }

    Entry** Cell() { return &top_; }
    int string_size() const { return string_size_; }

private:
    int string_size_;
    Entry* top_ = nullptr;
};

// Calls call(stack) on a stack of string_size holding two sentinel entries and
// then the arguments (the first to be popped on top). Checks that the sentinels
// survive untouched and that every entry left above them is at least as large
// as the host's own; returns the texts left above them, top first.
template <typename Char, typename Call>
std::vector<std::string> CallOverSentinels(const char* name, Call call, const std::vector<std::string>& arguments,
    int string_size)
{
    TestStack<Char> stack(string_size);
    stack.Push("below-1");
    stack.Push("below-2");
    auto below = stack.Entries();
    std::vector<std::string> below_texts = stack.Texts();
    for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument)
        stack.Push(*argument);
    call(stack);
    std::vector<std::string> texts = stack.Texts();
    auto entries = stack.Entries();
    if (texts.size() < 2) {
        ADD_FAILURE() << name << " consumed the entries below its arguments";
        return texts;
    }
    EXPECT_EQ(below, (std::vector<typename TestStack<Char>::Entry*>(entries.end() - 2, entries.end())))
        << name << ": entries below were replaced";
    EXPECT_EQ(below_texts, std::vector<std::string>(texts.end() - 2, texts.end())) << name;
    for (size_t i = 0; i + 2 < entries.size(); ++i)
        EXPECT_GE(GlobalSize(entries[i]), sizeof(void*) + string_size * sizeof(Char)) << name;
    return std::vector<std::string>(texts.begin(), texts.end() - 2);
}
