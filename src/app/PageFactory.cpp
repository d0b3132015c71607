#include "PageFactory.h"

#include "Page_About.h"
#include "Page_DealMenu.h"
#include "Page_Service.h"
#include "Page_Split.h"
#include "Page_Start.h"

// Choosing what to deal.
#include "Page_CardDistribution.h"
#include "Page_Parameters.h"

GenericChildDialog* CreatePageObject(int number, const char* name, unsigned template_id,
                                     MachineHost* host) {
  (void)host;
  switch (number) {
    case 0:
      return new Page_Start(name);

    case 1:  // parameters
      return new Page_Parameters(name);

    case 2:  // card distribution
      return new Page_CardDistribution(name);

    case 3:  // deal menu
      return new Page_DealMenu(name, host);

    case 4:  // split
      return new Page_Split(name, host);

    case 5:  // service
      return new Page_Service(name, host);

    case 6:  // about
      return new Page_About(name, host);

    default:
      return new EmptyPage(name, template_id);
  }
}
