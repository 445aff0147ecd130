#include "app/overview/take_overview_store.h"

#include <QTimer>
#include <QWidget>

#include "app/application.h"
#include "app/overview/take_overview.h"
#include "platform/registry.h"

void TakeOverviewStore::read(Registry& store) {
  if (store.valueExists("Overview")) open = store.readInteger("Overview");
  if (store.valueExists("OverviewWidth")) width = store.readInteger("OverviewWidth");
  if (store.valueExists("OverviewHeight")) height = store.readInteger("OverviewHeight");
}

bool TakeOverviewStore::acceptable() const {
  const auto side = [](int32_t v, int32_t min) { return v == 0 || (v >= min && v <= kMaxSide); };
  return open >= -1 && open <= 1 && side(width, kMinWidth) && side(height, kMinHeight);
}

void TakeOverviewStore::apply(TakeOverview& overview) const {
  if (open != -1 || width != 0 || height != 0) overview.stateStored = true;
  if (width != 0 && height != 0) overview.setWindowSize({width, height});
  // After the main window, which is shown once it is made.
  if (open == 1) QTimer::singleShot(0, overview.owner(), guarded<>([&overview] { overview.show(); }));
}

void TakeOverviewStore::write(Registry& store, const TakeOverview& overview) {
  if (!overview.everOpened() && !overview.stateStored) return;
  const QSize size = overview.windowSize();
  store.writeInteger("Overview", overview.isOpen() ? 1 : 0);
  store.writeInteger("OverviewWidth", size.width());
  store.writeInteger("OverviewHeight", size.height());
}
