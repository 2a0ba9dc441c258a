// A stand-in for a file manager in screen tests: a small window at X, Y
// whose whole face can be dragged, offering FILE... as a list of file URIs
// (text/uri-list). It ends after the drag, with 0 when a drop took the files.
//   orn_drag_files X Y FILE...

#include <gtk/gtk.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gUris;
int gExit = 1;

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc < 4) return 2;
  for (int i = 3; i < argc; ++i) {
    gchar* uri = g_filename_to_uri(argv[i], nullptr, nullptr);
    if (!uri) return 2;
    gUris.push_back(uri);
    g_free(uri);
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "orn drag source");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), 60, 60);
  gtk_window_move(GTK_WINDOW(window), std::atoi(argv[1]), std::atoi(argv[2]));
  GtkWidget* face = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(face), gtk_label_new("files"));
  gtk_container_add(GTK_CONTAINER(window), face);
  static GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
  gtk_drag_source_set(face, GDK_BUTTON1_MASK, &uriList, 1, GDK_ACTION_COPY);
  g_signal_connect(face, "drag-data-get", G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint,
                                                          guint, gpointer) {
                     std::vector<gchar*> uris;
                     for (std::string& u : gUris) uris.push_back(u.data());
                     uris.push_back(nullptr);
                     gtk_selection_data_set_uris(data, uris.data());
                     gExit = 0;
                   }),
                   nullptr);
  g_signal_connect(face, "drag-end", G_CALLBACK(+[](GtkWidget*, GdkDragContext*, gpointer) { gtk_main_quit(); }),
                   nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return gExit;
}
