#include "app/Edition.h"

#include "Tavkel13Form1.h"
#include "Tavkel13Form2.h"
#include "Tavkel13Form3.h"
#include "Tavkel14Form1.h"
#include "Tavkel14Form2.h"
#include "Tavkel14Form3.h"

namespace app {

const TEdition Tavkel14{
    .Name = "tavkel14",
    .LastSlot = 1000,
    .MainCaption = "Tavkel V.1.4",
    .PortDialog = TPortDialogKind::FixedList,
    .SearchPrefixesLongNames = true,
    .Form1Description = &Tavkel14Form1,
    .Form2Description = &Tavkel14Form2,
    .Form3Description = &Tavkel14Form3,
};

const TEdition Tavkel13{
    .Name = "tavkel13",
    .LastSlot = 500,
    .MainCaption = "Tavkel V.1.3",
    .PortDialog = TPortDialogKind::DetectedList,
    .SearchPrefixesLongNames = false,
    .Form1Description = &Tavkel13Form1,
    .Form2Description = &Tavkel13Form2,
    .Form3Description = &Tavkel13Form3,
};

}  // namespace app
