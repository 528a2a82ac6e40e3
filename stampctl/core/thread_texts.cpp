#include "stampctl/core/thread_texts.h"

#include <cstring>

namespace stampctl {

ThreadTexts& threadTexts()
{
    thread_local ThreadTexts texts{};
    return texts;
}

char* freshText()
{
    char* text = threadTexts().text;
    std::memset(text, 0, ThreadTexts::kTextSize);
    return text;
}

}  // namespace stampctl
