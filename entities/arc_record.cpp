// Kind 4: centre x, y, z, radius, start and end angle in degrees (48 bytes).
#include "format/angles.h"
#include "entities/entity_kinds.h"

void read_arc_record(EntityContext& c) {
  const unsigned char* p = c.r.take(48);
  if (p == nullptr) return;

  double x = RecordReader::field_at<double>(p, 0);
  const double y = RecordReader::field_at<double>(p, 8);
  const double radius = RecordReader::field_at<double>(p, 24);
  double start = RecordReader::field_at<double>(p, 32);
  double end = RecordReader::field_at<double>(p, 40);

  if (is_mirrored(c.props)) {
    // Reflecting across the y axis turns the arc around: the old end becomes
    // the new start.
    x = -x;
    const double reflected_start = 180.0 - end;
    end = 180.0 - start;
    start = reflected_start;
  }
  const double centre[3] = {x, y, 0.0};
  KT_Drawable* arc =
      api_kt_create_arc(centre, radius, degrees_to_radians(start), degrees_to_radians(end));
  if (arc) apply_entity_props(arc, c.props);
}
