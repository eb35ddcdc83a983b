// The GObject owner holds exactly one reference, whatever is done with it.
#include "gtk/gobject_ptr.h"

#include <gtest/gtest.h>

namespace quorvel::gtk {
namespace {

guint references(gpointer object) {
  return G_OBJECT(object)->ref_count;
}

TEST(GObjectPtr, CountsReferences) {
  GObject* raw = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
  g_object_ref(raw);  // ours, to watch the count after the owners are gone
  {
    auto owner = GObjectPtr<GObject>::adopt(raw);
    EXPECT_EQ(references(raw), 2u);
    {
      GObjectPtr<GObject> copy = owner;
      EXPECT_EQ(references(raw), 3u);
      GObjectPtr<GObject> moved = std::move(copy);
      EXPECT_EQ(references(raw), 3u);
      EXPECT_FALSE(copy);
      copy = moved;
      EXPECT_EQ(references(raw), 4u);
      copy = GObjectPtr<GObject>();
      EXPECT_EQ(references(raw), 3u);
    }
    EXPECT_EQ(references(raw), 2u);
    auto shared = GObjectPtr<GObject>::share(raw);
    EXPECT_EQ(references(raw), 3u);
  }
  EXPECT_EQ(references(raw), 1u);
  g_object_unref(raw);
}

TEST(GObjectPtr, SinksAFloatingReference) {
  GInitiallyUnowned* floating =
      G_INITIALLY_UNOWNED(g_object_new(G_TYPE_INITIALLY_UNOWNED, nullptr));
  g_object_ref(floating);  // a strong one of ours besides the floating one
  {
    auto owner = GObjectPtr<GInitiallyUnowned>::share(floating);
    EXPECT_FALSE(g_object_is_floating(floating));
    EXPECT_EQ(references(floating), 2u);
  }
  EXPECT_EQ(references(floating), 1u);
  g_object_unref(floating);
}

}  // namespace
}  // namespace quorvel::gtk
