// The test machine of the native build: the simulated one, fresh.
#include "machine.h"

#include "winsim.h"

void ResetTestMachine(bool japanese)
{
    wsim::Reset(japanese ? wsim::Lang::Japanese : wsim::Lang::English);
}
