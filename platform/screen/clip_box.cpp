#include "platform/screen/clip_box.h"

namespace screen {
namespace {

struct ClipBox {
  GtkBin parent;
};
struct ClipBoxClass {
  GtkBinClass parent;
};

G_DEFINE_TYPE(ClipBox, clip_box, GTK_TYPE_BIN)

void NoRoom(GtkWidget*, int* minimum, int* natural) { *minimum = *natural = 0; }

void Allocate(GtkWidget* w, GtkAllocation* a) {
  gtk_widget_set_allocation(w, a);
  GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
  if (!child || !gtk_widget_get_visible(child)) return;
  // GTK wants the child measured before it is given its room.
  GtkRequisition ignored;
  gtk_widget_get_preferred_size(child, &ignored, nullptr);
  gtk_widget_size_allocate(child, a);
}

gboolean Draw(GtkWidget* w, cairo_t* cr) {
  cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
  cairo_clip(cr);
  return GTK_WIDGET_CLASS(clip_box_parent_class)->draw(w, cr);
}

void clip_box_class_init(ClipBoxClass* c) {
  GtkWidgetClass* w = GTK_WIDGET_CLASS(c);
  w->get_preferred_width = NoRoom;
  w->get_preferred_height = NoRoom;
  w->size_allocate = Allocate;
  w->draw = Draw;
}

void clip_box_init(ClipBox* box) { gtk_widget_set_has_window(GTK_WIDGET(box), FALSE); }

}  // namespace

GtkWidget* NewClipBox(GtkWidget* child) {
  GtkWidget* box = GTK_WIDGET(g_object_new(clip_box_get_type(), nullptr));
  gtk_container_add(GTK_CONTAINER(box), child);
  gtk_widget_show(child);
  return box;
}

}  // namespace screen
