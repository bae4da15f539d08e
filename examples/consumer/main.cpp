// Renders a DTMF number into memory with an installed varnel and prints how much audio it made;
// it includes the engine's and the request language's headers too, so that the installed headers
// are known to be complete.

#include <cstdio>
#include <vector>

#include "varnel/Varnel.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/script/Rendering.h"

int main() {
    using namespace Quorvex::VarnelNet;
    Varnel varnel;
    varnel.SampleRate(8000);
    varnel.GenerateBegin();
    varnel.GenerateDTMFs("0123456789");
    varnel.GenerateScript("silence:100 dtmf:#");
    std::vector<std::uint8_t> block(8192);
    long total = 0;
    for (std::int32_t n; (n = varnel.FetchWaveStream(block)) > 0;) total += n;
    std::printf("consumer: rendered %ld bytes of DTMF with an installed varnel\n", total);
    return total > 0 ? 0 : 1;
}
