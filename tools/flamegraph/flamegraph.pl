#!/usr/bin/perl
# flamegraph.pl: draws folded stacks as an interactive SVG flame graph.
#
#   flamegraph.pl [options] [stacks.txt] > graph.svg
#
# Input lines are "frame;frame;frame COUNT": the frames of one stack from the
# outermost, then how much was spent there. Equal stacks are added up. When
# every line carries two counts, "frame;frame BEFORE AFTER", the graph is
# differential: frames are as wide as AFTER and coloured by AFTER - BEFORE
# (red grew, blue shrank). Frames are drawn bottom up, each as wide as its
# share of the total; hovering shows a frame's counts, clicking zooms to it,
# and the search control highlights frames matching a regular expression.
#
# Options:
#   --width N          image width in pixels (1200)
#   --height N         frame height in pixels (16)
#   --title TEXT       title ("Flame Graph"); --subtitle TEXT adds a line
#   --colors NAME      palette: hot, mem, io, red, green, blue, aqua, yellow,
#                      purple, orange (hot)
#   --bgcolors NAME    background: yellow, blue, green, grey, or #rrggbb
#   --minwidth N[%]    leave out frames narrower than N pixels, or N percent
#                      of the total (0.1)
#   --countname TEXT   what counts are ("samples")
#   --nametype TEXT    label before a frame's name in the details line ("Function:")
#   --fonttype NAME, --fontsize N
#   --negate           differential: colour by BEFORE - AFTER instead
#   --help
use strict;
use warnings;
use Getopt::Long qw(GetOptions);

my %opt = (
  width => 1200, height => 16, title => 'Flame Graph', subtitle => '', colors => 'hot',
  bgcolors => '', minwidth => '0.1', countname => 'samples', nametype => 'Function:',
  fonttype => 'Verdana', fontsize => 12, negate => 0,
);
sub usage {
  print STDERR "usage: $0 [--width N] [--height N] [--title TEXT] [--subtitle TEXT] [--colors NAME]\n",
    "       [--bgcolors NAME] [--minwidth N[%]] [--countname TEXT] [--nametype TEXT]\n",
    "       [--fonttype NAME] [--fontsize N] [--negate] [stacks.txt ...] > graph.svg\n";
  exit $_[0];
}
GetOptions(\%opt, 'width=i', 'height=i', 'title=s', 'subtitle=s', 'colors=s', 'bgcolors=s',
  'minwidth=s', 'countname=s', 'nametype=s', 'fonttype=s', 'fontsize=f', 'negate', 'help')
  or usage(2);
usage(0) if $opt{help};
die "flamegraph.pl: --width must be at least 100\n" if $opt{width} < 100;
die "flamegraph.pl: --height must be at least 2\n" if $opt{height} < 2;
die "flamegraph.pl: --fontsize must be positive\n" if $opt{fontsize} <= 0;
die "flamegraph.pl: --minwidth must be a number of pixels or a percentage\n"
  unless $opt{minwidth} =~ /^(\d+(?:\.\d*)?|\.\d+)(%?)$/;
my ($minwidth, $minpercent) = ($1, $2 eq '%');

# ---------------------------------------------------------------- reading
# Every stack is a node of one tree of frames, found by its text: a stack
# "a;b;c" is the child "c" of the node "a;b". Children keep the order in
# which they first appear, and equal stacks add up in one node.
my %node = ('' => 0);
my @name = ('all');
my @parent = (-1);
my @after = (0);
my @before = (0);
sub node_of {
  my ($stack) = @_;
  my $node = $node{$stack};
  return $node if defined $node;
  my @missing = ($stack);
  my $parent = 0;
  my $path = $stack;
  for (my $cut = rindex($path, ';'); $cut >= 0; $cut = rindex($path, ';')) {
    $path = substr($path, 0, $cut);
    my $known = $node{$path};
    if (defined $known) {
      $parent = $known;
      last;
    }
    push @missing, $path;
  }
  for my $path (reverse @missing) {
    push @name, substr($path, rindex($path, ';') + 1);
    push @parent, $parent;
    $parent = $node{$path} = $#name;
  }
  return $parent;
}

# All input is read first, each file ending in a line feed, so that stacks in
# the form the library writes can be taken apart by a few large matches.
my $data = '';
for my $file (@ARGV ? @ARGV : ('-')) {
  my $in;
  if ($file eq '-') {
    $in = \*STDIN;
  } else {
    open($in, '<', $file) or die "flamegraph.pl: cannot read $file: $!\n";
    # One bucket array for all stacks, rather than growing it step by step.
    my $size = -s $in;
    keys(%node) = $size / 40 if $size && keys(%node) < $size / 40;
  }
  # Read in one piece when the size is known.
  my ($from, $size) = (length $data, -s $in);
  1 while read($in, $data, $size && $size > 65536 ? $size + 1 : 65536, length $data);
  $data .= "\n" if length $data > $from && substr($data, -1) ne "\n";
  close($in) if $file ne '-';
}

my ($lines, $twocount) = (0, 0);
# Lines of one blank-free stack, one space and one or two plain counts need
# none of the rules below. They are taken apart by one match over a block of
# lines at a time, which took every line when the fields and their
# separators make up the whole block; a block of any other form sends all
# the input the long way.
my $count = qr/\d+(?:\.\d+)?/;
my $form = $data =~ /\A[^ \t\n]+ $count $count$/m ? 3 : $data =~ /\A[^ \t\n]+ $count$/m ? 2 : 0;
for (my $at = 0; $form && $at < length $data;) {
  my $end = index($data, "\n", $at + (1 << 18));
  $end = length($data) - 1 if $end < 0;
  my $block = substr($data, $at, $end + 1 - $at);
  $at = $end + 1;
  my @field = $form == 2 ? $block =~ /^([^ \t\n]+) ($count)$/mg : $block =~ /^([^ \t\n]+) ($count) ($count)$/mg;
  if (length(join('', @field)) + @field != length $block) {
    $form = $lines = 0;
    %node = ('' => 0);
    @name = ('all');
    @parent = (-1);
    @after = @before = (0);
    last;
  }
  $lines += @field / $form;
  # A stack's node is made when the stack is first seen, after its parent's
  # unless the stacks come out of order.
  for (my $i = 0; $i < @field; $i += $form) {
    my $stack = $field[$i];
    my $node = $node{$stack};
    unless (defined $node) {
      my $cut = rindex($stack, ';');
      my $parent = $cut < 0 ? 0 : $node{substr($stack, 0, $cut)};
      if (defined $parent) {
        push @name, substr($stack, $cut + 1);
        push @parent, $parent;
        $node = $node{$stack} = $#name;
      } else {
        $node = node_of($stack);
      }
    }
    if ($form == 3) {
      $before[$node] += $field[$i + 1];
      $after[$node] += $field[$i + 2];
    } else {
      $after[$node] += $field[$i + 1];
    }
  }
}
$twocount = $lines if $form == 3;

# Any other form, line by line. Two-count lines keep their counts apart until
# every line is known to have two: node, first count, second count and (see
# below) stack of each, and the second counts summed.
my (@twocounts, @pairafter);
for my $line ($lines ? () : split(/^/, $data)) {
  # The count is the last blank-separated field, after which only blanks
  # and a carriage return may follow; the blanks before it do not belong to
  # the stack. A blank in the first column does not separate a count.
  $line =~ /^(.*[^ \t])?([ \t]+)(-?\d+(?:\.\d+)?)[ \t\r]*$/ or next;
  my ($stack, $second) = ($1, $3);
  unless (defined $stack) {
    next if length($2) == 1;
    $stack = '';
  }
  ++$lines;
  my $first;
  if ($stack =~ tr/ \t// && $stack =~ /^(.*[^ \t])?([ \t]+)(-?\d+(?:\.\d+)?)\z/ && (defined $1 || length($2) > 1)) {
    $first = $3;
    $stack = $1 // '';
  }
  # Most stacks extend one seen before by one frame: found inline.
  my $node = $node{$stack};
  unless (defined $node) {
    my $cut = rindex($stack, ';');
    my $parent = $cut < 0 ? 0 : $node{substr($stack, 0, $cut)};
    if (defined $parent) {
      push @name, substr($stack, $cut + 1);
      push @parent, $parent;
      $node = $node{$stack} = $#name;
    } else {
      $node = node_of($stack);
    }
  }
  if (defined $first) {
    ++$twocount;
    $before[$node] += $first;
    $pairafter[$node] += $second;
    # A stack's text follows from its node's path, except for a leading
    # empty frame, which is the root's.
    push @twocounts, $node, $first, $second, substr($stack, 0, 1) eq ';' ? $stack : undef;
  } else {
    $after[$node] += $second;
  }
}
undef $data;
my $differential = $lines > 0 && $twocount == $lines;
if ($differential) {
  @after = @pairafter if @twocounts;
} else {
  # One count per line: a stack whose last frame ended in a number was read
  # as two counts; give the number back to the frame, with that line's count.
  for (my $i = 0; $i < @twocounts; $i += 4) {
    my ($node, $first, $count, $stack) = @twocounts[$i .. $i + 3];
    unless (defined $stack) {
      my @path;
      for (my $up = $node; $up > 0; $up = $parent[$up]) { unshift @path, $name[$up] }
      $stack = join(';', @path);
    }
    $after[node_of("$stack $first")] += $count;
  }
  @before = ();
}
@twocounts = @pairafter = ();

# ---------------------------------------------------------------- layout
# Children come after their parents, so one pass from the end sums subtrees
# and one from the start places each child after its earlier siblings.
$#after = $#name;
my @change = $differential ? map { ($after[$_] // 0) - ($before[$_] // 0) } 0 .. $#name : ();
my @total = @after;  # negative counts draw nothing
for (@total) { $_ = 0 unless defined && $_ > 0 }
for my $i (reverse 1 .. $#name) { $total[$parent[$i]] += $total[$i] }
if ($differential) {
  for my $i (reverse 1 .. $#name) { $change[$parent[$i]] += $change[$i] }
}
my $total = $total[0];
my $fontsize = $opt{fontsize};
my $fontwidth = 0.59;  # average glyph width, in font sizes
my $frameheight = $opt{height};
my $xpad = 10;
my $ypad1 = $fontsize * 3;  # title and subtitle
$ypad1 += $fontsize * 1.5 if $opt{subtitle} ne '';
my $ypad2 = $fontsize * 2 + 10;  # details line and controls
my $width = $opt{width};
my $scale = $total > 0 ? ($width - 2 * $xpad) / $total : 0;
# Frames narrower than this many counts are not drawn. A frame is never
# wider than its parent, so the frames below an undrawn one are not placed.
my $minunits = $minpercent ? $total * $minwidth / 100 : ($scale > 0 ? $minwidth / $scale : 0);
my (@drawn, @start, @depth, @cursor);  # cursor: where the next child of a drawn frame starts
if ($total > 0 && $total >= $minunits) {
  @drawn = (0);
  @start = @cursor = @depth = (0);
}
for my $i (1 .. $#name) {
  my $at = $cursor[$parent[$i]] // next;
  my $span = $total[$i];
  $cursor[$parent[$i]] = $at + $span;
  next unless $span > 0 && $span >= $minunits;
  $start[$i] = $cursor[$i] = $at;
  $depth[$i] = $depth[$parent[$i]] + 1;
  push @drawn, $i;
}
my $drawndepth = 0;
for (@drawn) { $drawndepth = $depth[$_] if $depth[$_] > $drawndepth }
my $height = ($drawndepth + 1) * $frameheight + $ypad1 + $ypad2;

# ---------------------------------------------------------------- colours
my %background = (
  yellow => ['#eeeeee', '#eeeeb0'], blue => ['#eeeeee', '#e0e0ff'], green => ['#eef2ee', '#e0ffe0'],
  grey => ['#f8f8f8', '#e8e8e8'],
);
my $bgname = $opt{bgcolors} ne '' ? $opt{bgcolors} : ($opt{colors} eq 'mem' ? 'green' : $opt{colors} eq 'io' ? 'blue' : 'yellow');
my ($bg1, $bg2);
if ($bgname =~ /^#[0-9a-fA-F]{6}\z/) {
  ($bg1, $bg2) = ($bgname, $bgname);
} elsif ($background{$bgname}) {
  ($bg1, $bg2) = @{ $background{$bgname} };
} else {
  die "flamegraph.pl: unknown --bgcolors $bgname\n";
}

my %palette = (
  hot    => sub { 'rgb(' . (205 + int(50 * $_[0])) . ',' . int(230 * $_[1]) . ',' . int(55 * $_[2]) . ')' },
  mem    => sub { 'rgb(' . int(80 * $_[2]) . ',' . (190 + int(50 * $_[1])) . ',' . int(80 * $_[0]) . ')' },
  io     => sub { 'rgb(' . (80 + int(60 * $_[0])) . ',' . (80 + int(60 * $_[0])) . ',' . (190 + int(55 * $_[1])) . ')' },
  red    => sub { 'rgb(' . (200 + int(55 * $_[0])) . ',' . (50 + int(80 * $_[0])) . ',' . (50 + int(80 * $_[0])) . ')' },
  green  => sub { 'rgb(' . (50 + int(60 * $_[0])) . ',' . (200 + int(55 * $_[0])) . ',' . (50 + int(60 * $_[0])) . ')' },
  blue   => sub { 'rgb(' . (80 + int(60 * $_[0])) . ',' . (80 + int(60 * $_[0])) . ',' . (205 + int(50 * $_[0])) . ')' },
  aqua   => sub { 'rgb(' . (50 + int(60 * $_[0])) . ',' . (165 + int(55 * $_[0])) . ',' . (165 + int(55 * $_[0])) . ')' },
  yellow => sub { 'rgb(' . (175 + int(55 * $_[0])) . ',' . (175 + int(55 * $_[0])) . ',' . (50 + int(20 * $_[0])) . ')' },
  purple => sub { 'rgb(' . (190 + int(65 * $_[0])) . ',' . (80 + int(60 * $_[0])) . ',' . (190 + int(65 * $_[0])) . ')' },
  orange => sub { 'rgb(' . (190 + int(65 * $_[0])) . ',' . (90 + int(65 * $_[0])) . ',0)' },
);
my $paint = $palette{$opt{colors}} or die "flamegraph.pl: unknown --colors $opt{colors}\n";
my %colour;
# Stable per name, so a frame keeps its colour from one graph to the next:
# three values in [0, 1] from an FNV-1a hash of the name's bytes.
sub colour_of {
  my $h = 2166136261;
  {
    use integer;
    $h = (($h ^ $_) * 16777619) & 0xffffffff for unpack('C*', $_[0]);
  }
  return $colour{$_[0]} = $paint->(($h & 255) / 255, (($h >> 8) & 255) / 255, (($h >> 16) & 255) / 255);
}
my $maxchange = 0;
if ($differential) {
  for (@drawn) { my $a = abs $change[$_]; $maxchange = $a if $a > $maxchange }
}

# ---------------------------------------------------------------- escaping
# Names are bytes: valid UTF-8 is kept, anything else is read as Latin-1, and
# characters XML or UTF-8 cannot hold become "?".
my $plainname = qr/^[\w.:\/@#+=,()\[\] -]*\z/a;  # nothing to escape or decode
sub xml_text {
  my ($text) = @_;
  return $text if $text =~ $plainname;
  my $chars = $text;
  $chars = $text unless utf8::decode($chars);
  $chars =~ s/[\x00-\x08\x0B\x0C\x0E-\x1F\x7F\x{D800}-\x{DFFF}\x{FFFE}\x{FFFF}\x{110000}-\x{7FFFFFFF}]/?/g;
  $chars =~ s/([&<>"'])/'&#' . ord($1) . ';'/ge;
  return $chars;
}

sub commas {
  my $n = $_[0] == int($_[0]) ? sprintf('%d', $_[0]) : sprintf('%.2f', $_[0]);
  # A comma before each group of three digits ending the whole part.
  my $whole = index($n, '.');
  $whole = length $n if $whole < 0;
  my $sign = substr($n, 0, 1) eq '-';
  for (my $at = $whole - 3; $at > $sign; $at -= 3) {
    last unless substr($n, $at - 1, 1) =~ tr/0-9//;
    substr($n, $at, 0, ',');
  }
  return $n;
}

# ---------------------------------------------------------------- writing
# The whole drawing is built as text and encoded once.
my $out = '';
my $title = xml_text($opt{title});
my $subtitle = xml_text($opt{subtitle});
my $countname = xml_text($opt{countname});
my $nametype = xml_text($opt{nametype});
my $font = xml_text($opt{fonttype});
my $detailsy = $height - $ypad2 / 2 - 2;
my $charwidth = $fontsize * $fontwidth;
$out .= <<"SVG";
<?xml version="1.0" standalone="no"?>
<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" "http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">
<svg version="1.1" width="$width" height="$height" onload="init(evt)" viewBox="0 0 $width $height" xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
<defs>
<linearGradient id="background" y1="0" y2="1" x1="0" x2="0"><stop stop-color="$bg1" offset="5%"/><stop stop-color="$bg2" offset="95%"/></linearGradient>
</defs>
<style type="text/css">
text { font-family: $font; font-size: ${fontsize}px; fill: rgb(0,0,0); }
#title { text-anchor: middle; font-size: @{[ $fontsize + 5 ]}px; }
#subtitle { text-anchor: middle; fill: rgb(160,160,160); }
.func_g:hover { stroke: black; stroke-width: 0.5; cursor: pointer; }
.hide { display: none; }
.parent { opacity: 0.5; }
</style>
<script type="text/ecmascript"><![CDATA[
"use strict";
var details, searchbtn, unzoombtn, matchedtxt, svg, searching = null;
var xpad = $xpad, charwidth = $charwidth, fullwidth = $width - 2 * $xpad;
function init(evt) {
  details = document.getElementById("details").firstChild;
  searchbtn = document.getElementById("search");
  unzoombtn = document.getElementById("unzoom");
  matchedtxt = document.getElementById("matched");
  svg = document.getElementsByTagName("svg")[0];
}
function frames() { return document.querySelectorAll("g.func_g"); }
function frame_title(g) {
  var t = g.querySelector("title");
  return t ? t.textContent : "";
}
function frame_name(g) { return frame_title(g).replace(/ \\([^()]*\\)\$/, ""); }
function s(g) { details.nodeValue = "$nametype " + frame_title(g); }
function c() { details.nodeValue = " "; }
function num(el, attr) { return parseFloat(el.getAttribute(attr)); }
function remember(g) {
  var r = g.querySelector("rect"), t = g.querySelector("text");
  if (!r.hasAttribute("data-x")) {
    r.setAttribute("data-x", r.getAttribute("x"));
    r.setAttribute("data-width", r.getAttribute("width"));
    t.setAttribute("data-x", t.getAttribute("x"));
  }
}
function fit_text(g) {
  var r = g.querySelector("rect"), t = g.querySelector("text");
  var room = Math.floor((num(r, "width") - 6) / charwidth), name = frame_name(g);
  if (room < 3) t.textContent = "";
  else t.textContent = name.length <= room ? name : name.substring(0, room - 2) + "..";
}
function place(g, x, width) {
  var r = g.querySelector("rect"), t = g.querySelector("text");
  r.setAttribute("x", x.toFixed(2));
  r.setAttribute("width", Math.max(width, 0).toFixed(2));
  t.setAttribute("x", (x + 3).toFixed(2));
  fit_text(g);
}
function zoom(target) {
  var tr = target.querySelector("rect");
  remember(target);
  var x0 = num(tr, "data-x"), w0 = num(tr, "data-width"), y0 = num(tr, "y");
  var ratio = fullwidth / w0, eps = 0.0001;
  unzoombtn.classList.remove("hide");
  unzoombtn.style.opacity = "1";
  var all = frames();
  for (var i = 0; i < all.length; i++) {
    var g = all[i];
    remember(g);
    var r = g.querySelector("rect");
    var x = num(r, "data-x"), w = num(r, "data-width"), y = num(r, "y");
    g.classList.remove("hide");
    g.classList.remove("parent");
    if (y > y0 && x <= x0 + eps && x + w >= x0 + w0 - eps) {
      g.classList.add("parent");
      place(g, xpad, fullwidth);
    } else if (y <= y0 && x >= x0 - eps && x + w <= x0 + w0 + eps) {
      place(g, xpad + (x - x0) * ratio, w * ratio);
    } else {
      g.classList.add("hide");
    }
  }
  if (searching) search(searching);
}
function unzoom() {
  unzoombtn.style.opacity = "0";
  var all = frames();
  for (var i = 0; i < all.length; i++) {
    var g = all[i], r = g.querySelector("rect");
    g.classList.remove("hide");
    g.classList.remove("parent");
    if (r.hasAttribute("data-x")) place(g, num(r, "data-x"), num(r, "data-width"));
  }
  if (searching) search(searching);
}
function reset_search() {
  var all = frames();
  for (var i = 0; i < all.length; i++) {
    var r = all[i].querySelector("rect");
    if (r.hasAttribute("data-fill")) {
      r.setAttribute("fill", r.getAttribute("data-fill"));
      r.removeAttribute("data-fill");
    }
  }
}
function search(pattern) {
  var re;
  try { re = new RegExp(pattern); } catch (e) { matchedtxt.textContent = "bad pattern"; return; }
  reset_search();
  searching = pattern;
  var spans = [], all = frames();
  for (var i = 0; i < all.length; i++) {
    var g = all[i];
    if (g.classList.contains("hide") || !re.test(frame_name(g))) continue;
    var r = g.querySelector("rect");
    r.setAttribute("data-fill", r.getAttribute("fill"));
    r.setAttribute("fill", "rgb(230,0,230)");
    if (!g.classList.contains("parent")) spans.push([num(r, "x"), num(r, "x") + num(r, "width")]);
  }
  spans.sort(function (a, b) { return a[0] - b[0]; });
  var covered = 0, end = -1;
  for (var j = 0; j < spans.length; j++) {
    var from = Math.max(spans[j][0], end);
    if (spans[j][1] > from) { covered += spans[j][1] - from; end = spans[j][1]; }
  }
  searchbtn.style.opacity = "1";
  searchbtn.textContent = "Reset Search";
  matchedtxt.textContent = spans.length ? "Matched: " + (100 * covered / fullwidth).toFixed(1) + "%" : "";
}
function search_prompt() {
  if (searching) {
    reset_search();
    searching = null;
    searchbtn.style.opacity = "0.1";
    searchbtn.textContent = "Search";
    matchedtxt.textContent = "";
    return;
  }
  var pattern = prompt("Search frames for (regular expression):", "");
  if (pattern) search(pattern);
}
function searchover() { searchbtn.style.opacity = "1"; }
function searchout() { searchbtn.style.opacity = searching ? "1" : "0.1"; }
]]></script>
<rect x="0" y="0" width="$width" height="$height" fill="url(#background)"/>
<text id="title" x="@{[ $width / 2 ]}" y="@{[ $fontsize * 2 ]}">$title</text>
SVG
if ($subtitle ne '') {
  $out .= qq{<text id="subtitle" x="@{[ $width / 2 ]}" y="@{[ $fontsize * 3.5 ]}">$subtitle</text>\n};
}
$out .= qq{<text id="details" x="$xpad" y="$detailsy"> </text>\n};
$out .= qq{<text id="unzoom" x="$xpad" y="@{[ $fontsize * 2 ]}" onclick="unzoom()" style="opacity:0.0;cursor:pointer">Reset Zoom</text>\n};
$out .= qq{<text id="search" x="@{[ $width - $xpad - 100 ]}" y="@{[ $fontsize * 2 ]}" onmouseover="searchover()" onmouseout="searchout()" onclick="search_prompt()" style="opacity:0.1;cursor:pointer">Search</text>\n};
$out .= qq{<text id="matched" x="@{[ $width - $xpad - 100 ]}" y="$detailsy"> </text>\n};
if (!@drawn) {
  $out .= qq{<text x="@{[ $width / 2 ]}" y="@{[ $ypad1 + $frameheight ]}" style="text-anchor:middle">No stacks to draw</text>\n};
}
my $bottom = $height - $ypad2;
my $totaltext = $total > 0 ? $total : 1;
# The count, its share and (differential) its change go straight into the
# title; "%" in the count's name is no conversion.
(my $countunit = $countname) =~ s/%/%%/g;
# Heights and heights above the bottom are formatted once per depth.
my $rectheight = sprintf('%.1f', $frameheight - 1);
my $framefmt = qq{<g class="func_g" onmouseover="s(this)" onmouseout="c()" onclick="zoom(this)">\n}
  . qq{<title>%s (%s $countunit, %.2f%%%s)</title><rect x="%.2f" y="%s" width="%.2f" height="$rectheight" fill="%s" rx="2" ry="2"/>\n}
  . qq{<text x="%.2f" y="%s">%s</text>\n</g>\n};
my (@recty, @texty);
my $negate = $opt{negate};
for my $i (@drawn) {
  my $name = $name[$i];
  my $span = $total[$i];
  my $x1 = $xpad + $start[$i] * $scale;
  my $w = $span * $scale;
  my $depth = $depth[$i];
  unless (defined $recty[$depth]) {
    my $y = $bottom - ($depth + 1) * $frameheight;
    $recty[$depth] = sprintf('%.1f', $y);
    $texty[$depth] = sprintf('%.1f', $y + $frameheight - 4.5);
  }
  my $plain = $name =~ $plainname;
  my $label = $plain ? $name : xml_text($name);
  my ($fill, $change);
  if ($differential) {
    $change = $change[$i];
    my $shown = $negate ? -$change : $change;
    if ($shown == 0 || $maxchange == 0) {
      $fill = 'rgb(250,250,250)';
    } else {
      my $fade = 210 - int(210 * abs($shown) / $maxchange);
      $fill = $shown > 0 ? "rgb(255,$fade,$fade)" : "rgb($fade,$fade,255)";
    }
    $change = '; ' . ($change > 0 ? '+' : '') . commas($change);
  } else {
    $fill = $i == 0 ? 'rgb(230,140,60)' : $colour{$name} // colour_of($name);
    $change = '';
  }
  my $room = int(($w - 6) / $charwidth);
  my $text = '';
  if ($room >= 3) {
    if ($plain) {  # one byte a character, nothing to escape
      $text = length($name) <= $room ? $name : substr($name, 0, $room - 2) . '..';
    } else {
      my $chars = $name;
      utf8::decode($chars);
      $text = length($chars) <= $room ? $label : xml_text(substr($chars, 0, $room - 2)) . '..';
    }
  }
  $out .= sprintf($framefmt, $label, commas($span), 100 * $span / $totaltext, $change, $x1, $recty[$depth], $w, $fill,
    $x1 + 3, $texty[$depth], $text);
}
$out .= "</svg>\n";
utf8::encode($out);
binmode(STDOUT);
print $out;
