#include "store/EncodedWords.h"

#include <gtest/gtest.h>

using velmora::mergeEncodedWords;

TEST(EncodedWords, RunsOfOneCharsetBecomeOneWord)
{
    const struct
    {
        const char* raw;
        const char* merged;
    } cases[] = {
        // A padded base64 word followed by another: the second must not be lost.
        { "=?UTF-8?B?0Lg=?=\r\n =?UTF-8?B?0Lo=?=", "=?UTF-8?B?0LjQug==?=" },
        // A character split across two words.
        { "=?utf-8?B?0A==?= =?UTF-8?B?ug==?=", "=?utf-8?B?0Lo=?=" },
        // Q encoding with underscores and hex, then base64.
        { "Re: =?ISO-8859-1?Q?Gr=FC=DFe_aus?= =?iso-8859-1?B?S/Zsbg==?= end",
          "Re: =?ISO-8859-1?B?R3L832UgYXVzS/Zsbg==?= end" },
        // Different charsets stay apart; plain text and single words are untouched.
        { "=?UTF-8?B?0Lg=?= =?ISO-8859-1?Q?=FC?=", "=?UTF-8?B?0Lg=?= =?ISO-8859-1?Q?=FC?=" },
        { "Plain subject", "Plain subject" },
        { "=?UTF-8?B?0Lg=?= text =?UTF-8?B?0Lo=?=", "=?UTF-8?B?0Lg=?= text =?UTF-8?B?0Lo=?=" },
        // Broken words are left for the decoder as they are.
        { "=?UTF-8?B?***?= =?UTF-8?B?0Lo=?=", "=?UTF-8?B?***?= =?UTF-8?B?0Lo=?=" },
        { "=?UTF-8?B?0Lg=", "=?UTF-8?B?0Lg=" },
        { "=?", "=?" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mergeEncodedWords(QByteArray(c.raw)), QByteArray(c.merged)) << c.raw;
    }
}
