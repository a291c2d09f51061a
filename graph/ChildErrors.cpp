#include "graph/ChildErrors.h"

namespace {

constexpr char kChildErrorNote[] = "vexlo-child-error";

// A tracer is GStreamer's way to see every message as it is posted, whoever handles it next.
struct TChildErrorTracer {
    GstTracer Parent;
};
struct TChildErrorTracerClass {
    GstTracerClass ParentClass;
};

G_DEFINE_TYPE(TChildErrorTracer, child_error_tracer, GST_TYPE_TRACER)

void child_error_tracer_class_init(TChildErrorTracerClass*) {}
void child_error_tracer_init(TChildErrorTracer*) {}

// The outermost bin holding the element (a reference), or null when the element stands alone.
GstElement* PipelineOf(GstElement* element) {
    GstObject* top = GST_OBJECT(gst_object_ref(element));
    while (GstObject* parent = gst_object_get_parent(top)) {
        gst_object_unref(top);
        top = parent;
    }
    if (top == GST_OBJECT(element) || !GST_IS_PIPELINE(top)) {
        gst_object_unref(top);
        return nullptr;
    }
    return GST_ELEMENT(top);
}

// Runs on whichever thread posts: it only reads the message and posts the note.
void NoteChildError(GObject*, GstClockTime, GstElement* element, GstMessage* message) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return;
    GstElement* pipeline = PipelineOf(element);
    if (!pipeline) return;
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    GstStructure* note = gst_structure_new(kChildErrorNote, "error", G_TYPE_ERROR, error, nullptr);
    g_error_free(error);
    gst_element_post_message(pipeline, gst_message_new_application(GST_OBJECT(element), note));
    gst_object_unref(pipeline);
}

}  // namespace

void WatchChildErrors() {
    // The tracer lives as long as the process.
    static const bool watching = [] {
        auto* tracer = GST_TRACER(g_object_new(child_error_tracer_get_type(), nullptr));
        gst_tracing_register_hook(tracer, "element-post-message-pre", G_CALLBACK(NoteChildError));
        return true;
    }();
    (void)watching;
}

GError* ChildErrorOf(GstMessage* message) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_APPLICATION) return nullptr;
    const GstStructure* note = gst_message_get_structure(message);
    if (!gst_structure_has_name(note, kChildErrorNote)) return nullptr;
    GError* error = nullptr;
    gst_structure_get(note, "error", G_TYPE_ERROR, &error, nullptr);
    return error;
}
