#include "engine/PageSnippets.h"

#include <algorithm>
#include <functional>

#include "storage/GlobalLib.h"

namespace {

// The table of pieces behaves like the image it replaces: these rules sit in
// a cascade layer, below every rule of the page, so the page's own rules
// about the picture's class, id or style still win, as they did over an
// image's defaults. In quirks mode a table inherits neither the text colour
// nor the font size; the picture's border takes the colour, and sizes in em
// the font size, as an image's do. The table's width comes from its own
// --vlm-w (tables written before it existed keep their WIDTH attribute); a
// width with a percentage in it (--vlm-f) leaves the table's share of its
// container's smallest width to the pieces, which give way as a picture
// scaled by a percentage does. A table whose width may follow a height the
// page gives it (--vlm-i) is as wide as its content, and its shape (--vlm-a)
// turns a height into that width; the rule sets the inline size, so in
// vertical text, where that is the height, the width stays --vlm-w. A
// picture shown at its own size has that size in its content box (--vlm-s),
// whatever box-sizing the page gives every element. The rules find their
// values by name in the style attribute, which a script that sets a style
// writes out again in its own spacing. Like an image, the table clips what
// it shows to its box, rounded corners included, and a column break never
// falls inside it. The APPLET that holds a table where a paragraph is open
// has no box.
// A picture that no rule of the page names (no CLASS, ID or STYLE: its table
// has --vlm-m) keeps its box whatever the page's rules for tables say (a
// width of 100%, a margin, a border, a background, rounded corners, a
// shadow, a block with a scroll bar): those rules were never the picture's,
// and important rules in the layer win over them; only the room and the
// border its HSPACE, VSPACE and BORDER give it (when not 0) stay open to the
// page, so that a reset of every element's margin or border still reaches
// those, as it reaches an image's. Where a rule for every element there does
// reach the picture (`.grid > * { width: 100% }`), the page's script sees it
// on a hidden IMG put in the table's place, compared with one at the root,
// and leaves that table to the page's rules (--vlm-n), as before; where that
// rule gives it a width or a largest width in percent, the table gives way
// in a narrow container as a fluid image does (--vlm-f, and no smallest width
// of its own).
// The page's rules for table rows and cells (borders, padding, widths,
// striped backgrounds, generated content) are about its own tables, not the
// picture: inside the table of pieces, they are undone by important rules,
// which in a layer win over every normal and important rule of the page. So
// are its rules for pictures on each piece (round corners, a shadow, a shape
// or a smallest height, a transform on hover): given to every piece, they
// would show the grid; the script sets a piece's height as important where
// it scales the rows. Inherited properties (image-rendering, visibility, the
// cursor) still come from the table, so the page's rules for the picture
// reach its pieces. An image never shows generated content, and the table
// shows none either. A piece whose file reaches into its neighbours is laid
// over its cell by the cell's numbers (--vlm-c, its width in pixels, and
// --vlm-ct, -cr, -cb, -cl, what the file holds beyond it on each side), in
// a unit that is one pixel where the cell has the piece's own width and
// scales with the cell; the cell, as wide as the piece, clips the rest. A
// browser reduces the unit to pixels and a percentage of the cell, which
// comes out a little off a whole pixel and shifts what follows by a 64th of
// a pixel (enough to redraw a line of vertical text): where it can round, the
// unit is rounded to a 1024th of a pixel, which makes it exact.
constexpr ScrambledText kHeadSnippet1(
    "<style>@layer vlm{table[data-vlm]{display:inline-block;overflow:clip;break-inside:avoid;"
    "vertical-align:var(--vlm-va,baseline);box-sizing:content-box;color:inherit;font-size:inherit;"
    "border:var(--vlm-b,0px) solid;margin:var(--vlm-v,0px) var(--vlm-r,var(--vlm-h,0px)) "
    "var(--vlm-v,0px) var(--vlm-l,var(--vlm-h,0px));padding:0;"
    "border-collapse:collapse;border-spacing:0;text-indent:0}"
    "table[data-vlm][style*=\"--vlm-w\"]{width:calc(var(--vlm-w) + var(--vlm-f,0px));"
    "min-width:var(--vlm-m,0px);aspect-ratio:auto var(--vlm-a)}"
    "table[data-vlm][style*=\"--vlm-m:\"]:not([style*=\"--vlm-n\"]){"
    "overflow:clip!important;max-width:var(--vlm-w)!important;padding:0!important;"
    "background:none!important;border-radius:0!important;box-shadow:none!important}"
    "table[data-vlm][style*=\"--vlm-m:\"]:not([hidden],[style*=\"--vlm-n\"]){"
    "display:inline-block!important}"
    "table[data-vlm][style*=\"--vlm-m:\"]:not([style*=\"--vlm-n\"],[style*=\"--vlm-b:\"]:not("
    "[style*=\"--vlm-b:0px\"],[style*=\"--vlm-b: 0px\"])){border:0!important}"
    "table[data-vlm][style*=\"--vlm-m:\"]:not([style*=\"--vlm-n\"],[style*=\"--vlm-h:\"]:not("
    "[style*=\"--vlm-h:0px\"],[style*=\"--vlm-h: 0px\"]),[style*=\"--vlm-v:\"]:not("
    "[style*=\"--vlm-v:0px\"],[style*=\"--vlm-v: 0px\"]),[style*=\"--vlm-l:\"],"
    "[style*=\"--vlm-r:\"]){margin:0!important}"
    "table[data-vlm][style*=\"--vlm-i\"]{inline-size:var(--vlm-i)}"
    "table[data-vlm][style*=\"--vlm-n\"][style*=\"--vlm-f\"]{min-width:0}"
    "table[data-vlm][style*=\"--vlm-s\"]{box-sizing:var(--vlm-s)!important}"
    "table[data-vlm][style*=\"baseline-middle\"]{"
    "vertical-align:-webkit-baseline-middle;vertical-align:-moz-middle-with-baseline}"
    "table[data-vlm][hidden]{display:none}applet[data-vlm]{display:contents}"
    "table[data-vlm]>tbody,table[data-vlm]>tbody>tr,table[data-vlm]>tbody>tr>td{"
    "all:unset!important}"
    "table[data-vlm]>tbody{display:table!important;width:100%!important;"
    "border-collapse:collapse!important;border-spacing:0!important;"
    "writing-mode:horizontal-tb!important}"
    "table[data-vlm]>tbody>tr{display:table-row!important}"
    "table[data-vlm]>tbody>tr>td{display:table-cell!important}"
    "table[data-vlm]>tbody>tr>td>img{all:unset!important;display:block!important;"
    "width:100%!important;-webkit-user-drag:none!important;-webkit-user-select:none!important;"
    "user-select:none!important}"
    "table[data-vlm]>tbody>tr>td[style*=\"--vlm-c:\"]{width:calc(var(--vlm-c)*1px)!important;"
    "overflow:hidden!important}"
    "table[data-vlm]>tbody>tr>td[style*=\"--vlm-c:\"]>img{"
    "--vlm-u:(1px + (100% - var(--vlm-c)*1px)/var(--vlm-c));"
    "width:calc(100% + (var(--vlm-cl,0) + var(--vlm-cr,0))*var(--vlm-u))!important;"
    "margin:calc(var(--vlm-ct,0)*-1*var(--vlm-u)) calc(var(--vlm-cr,0)*-1*var(--vlm-u)) "
    "calc(var(--vlm-cb,0)*-1*var(--vlm-u)) calc(var(--vlm-cl,0)*-1*var(--vlm-u))!important}"
    "@supports (width:round(1px,1px)){table[data-vlm]>tbody>tr>td[style*=\"--vlm-c:\"]>img{"
    "--vlm-u:round(1px + (100% - var(--vlm-c)*1px)/var(--vlm-c),.0009765625px)}}"
    "table[data-vlm]::before,table[data-vlm]::after,table[data-vlm] :is(tbody,tr,td)::before,"
    "table[data-vlm] :is(tbody,tr,td)::after{content:none!important}}"
    "img{-webkit-user-drag:none;-webkit-user-select:none;user-select:none}</style>");

// Written without "&" and "<", so that it stays well-formed XML. It keeps the
// context menu, dragging and selecting away from pictures, and it lays a
// layered picture's pieces out again where the page's CSS fits the picture
// into its box by object-fit and object-position (cover, contain, none,
// scale-down): the placeholder is fitted by the browser, the pieces by this
// script, in pixels of the content box, at load and at every resize. With
// object-fit "fill" the pieces keep the percentages they were written with.
// The layers laid beneath, a pixel over, stay inside a picture that does not
// fill its box: those of the last column and row are not moved. A table whose
// box the page makes taller or shorter than its pieces (a flex row that
// stretches it, a height and a width that change the picture's shape) gets its
// rows' heights scaled to fill it, as an image is drawn into its box (a table
// laid out inline, whose height is "auto", is left alone); all pieces of a row
// get the row's height, since their own heights differ by the rounding of
// their widths and a shorter one would show a seam. A piece whose file reaches
// past it gets its file's margins above and below scaled with it, and its
// cell the width the piece has at that height, which is the width an image
// would ask of a table that sizes itself by its content. Heights are read from the
// layout, not from the box on the screen, which a transform of the table or of
// its container turns and scales. A table that the page turns or scales by a
// transform, its own or a container's (moving it is no matter), is drawn as
// one surface (will-change and a filter that changes nothing, unless the page
// gives it a filter), as an image is: drawn piece by piece, each piece's
// turned edges would blend into the background and show the grid. Where the
// page fits the picture by object-fit, the table's body is sized as the fitted
// picture instead, in a percentage of the box (so that it asks its container
// for no more room than an image would) and moved into place by
// object-position; the table clips it. A table whose width and height the page
// both gives, the width in a percentage, needs no shape to find its height,
// and like an image of such a width it asks a flex or grid container for no
// room by its shape: its shape is dropped. A picture cut in another shape than
// its own (a HEIGHT that does not match it) is drawn in its own where its
// height is auto, by a rule, its style or no HEIGHT at all: the table takes
// that shape (--vlm-o) and a smallest height of zero, and its rows are scaled
// into it. A table whose height follows its shape is no taller than the shape
// makes it, as an image is: its pieces' heights, each rounded by the browser,
// can add up to a fraction of a pixel more, which would move everything after
// it (a line of text or a border a pixel lower further down the page). Where
// its height is its shape's (no height of the page's, not stretched), its
// smallest height is set to zero, so its content no longer adds to it (a
// smallest height near its own would, through its shape, also give it a
// smallest width, and a table cell or a float that holds it could no longer
// make it narrower, as they make an image of a width in percent); in a flex
// column, which sizes it by its content, its largest height is set to that
// height instead. A box the page sizes by its border, with a border or
// padding, is left alone: its shape is not the picture's. A width the page
// sets to "auto" (a framework's utility class) makes a box as wide as its
// container where it is a block or in a grid; the table is then as wide as its
// content (or its shape at its height), as an image is, and without a largest
// width never narrower, so a grid's column holds it whole. A table without a
// width of its own is stretched across a flex column as an image is (past the
// largest width a picture no rule names is held to), and a grid leaves it at
// the top of its area with its own height, as it leaves an image (one browser
// stretches a box there whose width is its content's). A flex row that
// stretches it makes it as wide as its shape at the row's height where that
// height is the row's own, and leaves it its own width where the row is as
// tall as something beside it, as it does an image: which of the two holds is
// seen by making the table very tall for a moment and measuring whether the
// row grows with it. In any other flex row a table without a width of its own
// is never narrower than its content, as an image is never narrower than its
// own width there, unless the page gives it a smallest width or a largest one
// in percent. A table whose width or largest width the page gives in a
// percentage (max-width: 100%) gives way in a narrow container as such an
// image does, on any page (--vlm-f, and a content width of fit-content); one
// on a page for narrow screens that its rules do not make so keeps its own
// width, though little room is left for it (an image placed at the middle of
// its container, say), and the markup's guess that it might give way is taken
// back. Which rules make a picture give way is asked of a stand-in: an IMG
// with the table's class and id (none for a table no rule names, which a rule
// for the elements of its place may still reach), put where the table stands
// for a moment and not shown, takes every rule the picture took, those that
// name img too (max-width: 100% for every image, as most pages have). The
// widths are read as the page declares them: from the browser's typed style
// where it has one, otherwise from the table taken out of the layout for a
// moment (which restarts an animation the page runs on it: each is set back to
// the time it had reached, so it goes on where it was); only a table with a
// class or an id can have one from a rule. All tables are put back to their
// own heights and places, measured, then set, so the page is laid out once for
// all of them. A picture the page shows "inline" is an inline box that holds its
// size, as the table is by default, and one it shows as "contents" is not
// shown at all: such a table is given those boxes anew at every pass (its own
// style's display put back first), so that a rule that no longer holds no
// longer counts and its own style still does. One it shows as a block is a box
// of its own (flow-root), which stands beside a float, not under it, as an
// image does. In a flex or grid container the table's layout is contained, so
// it has no baseline of its own rows and is aligned by its bottom edge, as an
// image is; so is a table shown as a block in a table cell, which would
// otherwise give the cell the baseline of its first row, and the cells beside
// it would be lined up to that (contained everywhere, it would also be drawn
// over a text that the page pulls over it).
constexpr ScrambledText kHeadSnippet2(
    "<script>(function(d,w){function f(e){var t=e.target;if(t){if(t.localName==\"img\"){e.preve"
    "ntDefault();return false}}}"
    "d.addEventListener(\"contextmenu\",f,true);d.addEventListener(\"dragstart\",f,true);d.addE"
    "ventListener(\"selectstart\",f,true);"
    "function n(v){return parseFloat(v)||0}"
    "function e(v,U){return n(v)==100||U==1?0:1}"
    "function a(v,r){var s=0,t=v.replace(/ - /g,\" -\").match(/-?[\\d.]+%?/g)||[];for(var j=0;j"
    "!=t.length;j++)s+=t[j].indexOf(\"%\")+1?r*n(t[j])/100:n(t[j]);return s}"
    "function g(i){var s=i.style,z=i.vlmZ;if(!z){if(!s.backgroundImage)return;z=i.vlmZ=[s.backg"
    "roundSize,s.backgroundPosition]}"
    "var c=getComputedStyle(i),m=c.objectFit,W=i.naturalWidth,H=i.naturalHeight;"
    "if(m==\"fill\"||!m||!W||!H){if(s.backgroundSize!=z[0]){s.backgroundSize=z[0];"
    "s.backgroundPosition=z[1]}return}"
    "var x=i.clientWidth-n(c.paddingLeft)-n(c.paddingRight),y=i.clientHeight-n(c.paddingTop)-n("
    "c.paddingBottom),"
    "k=m==\"none\"?1:m==\"cover\"?Math.max(x/W,y/H):Math.min(x/W,y/H);if(m==\"scale-down\")k=Ma"
    "th.min(k,1);"
    "var p=c.objectPosition.match(/calc\\([^)]*\\)|[^ ]+/g),X=a(p[0],x-W*k),Y=a(p[1],y-H*k),Z=z"
    "[0].split(\",\"),P=z[1].split(\",\"),o=[],q=[];"
    "for(var j=0;j!=Z.length;j++){var u=Z[j].trim().split(\" \"),v=P[j].match(/[-\\d.e]+%( \\+ "
    "1px)?/g),U=n(u[0])/100,V=n(u[1])/100;if(!v)return;"
    "o.push(U*W*k+\"px \"+V*H*k+\"px\");q.push(X+n(v[0])/100*(1-U)*W*k+(v[0].indexOf(\"+\")+1?"
    "e(v[0],U):0)+\"px \"+(Y+n(v[1])/100*(1-V)*H*k+(v[1].indexOf(\"+\")+1?e(v[1],V):0))+\"px\")}"
    "s.backgroundSize=o.join(\",\");s.backgroundPosition=q.join(\",\")}"
    "function t(c){return!/^(none|matrix\\(1, 0, 0, 1, [^)]*\\))$/.test(c.transform)||"
    "(c.rotate||\"none\")!=\"none\"||(c.scale||\"none\")!=\"none\"}"
    "function Ks(b){var k=[];if(b.getAnimations)b.getAnimations().forEach(function(a){"
    "if(a.animationName)k.push([a.animationName,a.currentTime])});return k}"
    "function Kr(b,k){if(k.length)b.getAnimations().forEach(function(a){"
    "for(var i=0;i!=k.length;i++)if(k[i][0]==a.animationName){a.currentTime=k[i][1];"
    "k.splice(i,1);break}})}"
    "function Cb(I,s){return n(I.parentNode.style.getPropertyValue(\"--vlm-c\"+s))}"
    "function T(){var l=d.querySelectorAll(\"table[data-vlm]\"),q=[],z=[],y=[],V=[],C=[],j,i,p,b,f,"
    "B=\"important\",U=[],Ka=[];for(j=0;j!=l.length;j++){b=l[j];"
    "if(b.vlmA){b.style.aspectRatio=b.vlmA[0];b.vlmA=0}"
    "if(b.vlmH){b.style.minHeight=b.style.maxHeight=\"\";b.vlmH=0}"
    "if(b.vlmN){b.style.removeProperty(\"--vlm-n\");b.vlmN=0}"
    "if(b.vlmC){[\"inline-size\",\"min-inline-size\",\"max-inline-size\",\"align-self\","
    "\"contain\",\"will-change\",\"filter\"].forEach(function(v){b.style.removeProperty(v)});"
    "b.vlmC=0}"
    "if(b.vlmI){b.style.removeProperty(\"--vlm-f\");b.style.setProperty(\"--vlm-i\",b.vlmI[0]);"
    "b.vlmI=0}if(b.vlmD)b.style.setProperty(\"display\",b.vlmD[0],b.vlmD[1]);"
    "if(b.vlmJ){b.style.setProperty(\"--vlm-f\",b.vlmJ[0]);b.style.setProperty(\"--vlm-i\","
    "b.vlmJ[1]);b.vlmJ=0}var D=getComputedStyle(b),E,J=0;"
    "for(E=b;E.nodeType==1;E=E.parentNode)if(t(getComputedStyle(E))){J=1;break}"
    "if(J)if(D.filter==\"none\")if(!(b.style.willChange+b.style.filter)){"
    "b.style.willChange=\"transform\";b.style.filter=\"contrast(1)\";b.vlmC=1}D=D.display;"
    "b.vlmD=/^(inline|contents|block)$/.test(D)?"
    "[b.style.display,b.style.getPropertyPriority(\"display\")]:0;"
    "if(b.vlmD)b.style.display=D==\"inline\"?\"inline-block\":D==\"block\"?\"flow-root\":\"none\";"
    "b=b.tBodies[0];"
    "p=b?b.getElementsByTagName(\"img\"):[];if(b)if(b.vlmF){b.vlmF=0;"
    "[\"width\",\"position\",\"left\",\"top\"].forEach(function(v){b.style.removeProperty(v)})}"
    "for(i=0;i!=p.length;i++){p[i].style.height=\"auto\";if(p[i].vlmM){"
    "p[i].style.removeProperty(\"margin-top\");p[i].style.removeProperty(\"margin-bottom\");"
    "p[i].parentNode.style.setProperty(\"width\",Cb(p[i],\"\")+\"px\");p[i].vlmM=0}}q.push(p);b=l["
    "j];p=b.style;U.push(0);"
    "if(b.className||b.id)if(b.computedStyleMap){var L=b.computedStyleMap();"
    "U[j]=[0,0,String(L.get(\"width\")),String(L.get(\"max-width\")),String(L.get(\"height\")),"
    "String(L.get(\"min-width\"))]}"
    "else{U[j]=[p.display,p.getPropertyPriority(\"display\")];Ka[j]=Ks(b);"
    "p.setProperty(\"display\",\"none\",B)}}"
    "var Pe=[],Pw=[],Pr=0,Pm=[];for(j=0;j!=l.length;j++){b=l[j];i=0;"
    "if(U[j]||b.style.getPropertyValue(\"--vlm-m\")){i=d.createElement(\"img\");"
    "if(U[j]){i.className=b.className;if(b.id)i.id=b.id}else if(!Pr){"
    "Pr=d.createElement(\"img\");Pr.style.display=\"none\";d.documentElement.appendChild(Pr)}"
    "i.style.display=\"none\";b.parentNode.insertBefore(i,b)}Pe.push(i)}"
    "for(j=0;j!=l.length;j++){i=Pe[j]?getComputedStyle(Pe[j]):0;"
    "Pw.push(U[j]?[i.width,i.maxWidth]:0);"
    "if(U[j])if(U[j][0]!==0){var S=getComputedStyle(l[j]);"
    "U[j].push(S.width,S.maxWidth,S.height,S.minWidth)}Pm.push(0);"
    "if(i)if(!U[j]){var Pb=getComputedStyle(Pr);"
    "\"width maxWidth minWidth height paddingTop paddingRight paddingBottom paddingLeft marginTop "
    "marginRight marginBottom marginLeft borderTopWidth borderRightWidth borderBottomWidth "
    "borderLeftWidth backgroundColor backgroundImage borderTopLeftRadius boxShadow overflowX\""
    ".split(\" \").forEach(function(v){if(i[v]!=Pb[v])Pm[j]=1});"
    "if(Pm[j])Pw[j]=[i.width,i.maxWidth]}}"
    "for(j=0;j!=Pe.length;j++){if(Pe[j])Pe[j].remove();"
    "if(Pm[j]){l[j].style.setProperty(\"--vlm-n\",\"1\");l[j].vlmN=1}}if(Pr)Pr.remove();"
    "for(j=0;j!=l.length;j++){b=l[j];p=b.style;"
    "if(U[j])if(U[j][0]!==0){p.setProperty(\"display\",U[j][0],U[j][1]);Kr(b,Ka[j])}"
    "var W=U[j]?U[j][2]:p.width,M=U[j]?U[j][3]:p.maxWidth,K=U[j]?U[j][4]:p.height||\"auto\";"
    "if(W.indexOf(\"%\")+1)if(K!=\"auto\"){b.vlmA=[p.aspectRatio];p.aspectRatio=\"auto\"}"
    "var O=p.getPropertyValue(\"--vlm-o\");if(O)if(K==\"auto\")"
    "if(U[j]||p.height==\"auto\"||!b.hasAttribute(\"height\")){b.vlmA=[p.aspectRatio];"
    "p.aspectRatio=O;p.minHeight=\"0px\";b.vlmH=1}"
    "V.push(K==\"auto\");var Fl=(W+M+(Pw[j]?Pw[j][0]+Pw[j][1]:\"\")).indexOf(\"%\")+1,"
    "Mn=/^(none|)$/.test(M)?Pw[j]?Pw[j][1]==\"none\":1:0;"
    "if(Fl){if(p.getPropertyValue(\"--vlm-f\")==\"\"){b.vlmI=[p.getPrope"
    "rtyValue(\"--vlm-i\")];p.setProperty(\"--vlm-f\",\"0%\");"
    "if(b.vlmI[0].trim()==\"max-content\")p.setProperty(\"--vlm-i\",\"fit-content\")}}"
    "else if(U[j])if(p.getPropertyValue(\"--vlm-f\")){b.vlmJ=[p.getPropertyValue(\"--vlm-f\"),"
    "p.getPropertyValue(\"--vlm-i\")];p.removeProperty(\"--vlm-f\");"
    "if(b.vlmJ[1].trim()==\"fit-content\")p.setProperty(\"--vlm-i\",\"max-content\")}"
    "E=b.parentNode;var G=0;while(E.nodeType==1){G=getComputedStyle(E);"
    "if(G.display!=\"contents\")break;E=E.parentNode}"
    "var Z=G?/grid/.test(G.display)?\"grid\":/flex/.test(G.display)?"
    "/column/.test(G.flexDirection)?\"column\":\"row\":\"\":\"\";C.push(Z);"
    "if(Z==\"row\")if(U[j])if(/^(0px|auto)$/.test(U[j][5]))"
    "if(/^(auto|max-content|fit-content)$/.test(W))if(!Fl)if(Mn){"
    "p.setProperty(\"min-inline-size\",\"max-content\");b.vlmC=1}"
    "if(W==\"auto\")if(!/row|column/.test(Z)){p.setProperty(\"inline-size\",\"fit-content\",B);"
    "if(Mn)p.setProperty(\"min-inline-size\",\"max-content\",B);b.vlmC=1}"
    "if(!Z)if(G)if(G.display==\"table-cell\")if(getComputedStyle(b).display==\"flow-root\"){"
    "p.contain=\"layout\";b.vlmC=1}"
    "if(Z){p.contain=\"layout\";b.vlmC=1;"
    "if(p.getPropertyValue(\"--vlm-i\")+p.getPropertyValue(\"--vlm-s\"))"
    "if(/^(auto|max-content|fit-content|)$/.test(W)){"
    "var A=getComputedStyle(b).alignSelf;if(A==\"auto\")A=G.alignItems;"
    "if(Z==\"grid\"){if(A==\"normal\")p.alignSelf=\"start\"}"
    "else if(/^(normal|stretch)$/.test(A))if(Z==\"column\"){"
    "p.setProperty(\"inline-size\",\"auto\");p.setProperty(\"min-inline-size\",\"0px\");"
    "if(p.getPropertyValue(\"--vlm-m\"))p.setProperty(\"max-inline-size\",\"none\",B)}"
    "else if(K==\"auto\"){"
    "var O=E.getBoundingClientRect().height,X=p.getPropertyValue(\"--vlm-s\")?\"max-content\":"
    "p.getPropertyValue(\"--vlm-i\").trim()==\"max-content\"?"
    "p.getPropertyValue(\"--vlm-w\").trim():0;"
    "if(X){p.setProperty(\"height\",\"9999px\");F=E.getBoundingClientRect().height==O;"
    "p.removeProperty(\"height\");if(F==(X==\"max-content\")){p.setProperty(\"inline-size\",X);"
    "p.setProperty(\"min-inline-size\",X)}}}}}}"
    "for(j=0;j!=l.length;j++){b=l[j].tBodies[0];var c=b?n(getComputedStyle(b).height):0,"
    "s=getComputedStyle(l[j]),o=s.boxSizing==\"border-box\","
    "H=n(s.height)-(o?n(s.paddingTop)+n(s.paddingBottom)+n(s.borderTopWidth)+n(s.bord"
    "erBottomWidth):0),"
    "x=n(s.width)-(o?n(s.paddingLeft)+n(s.paddingRight)+n(s.borderLeftWidth)+n(s.bord"
    "erRightWidth):0),m=s.objectFit,k=c?H/c:1,r=[];f=0;"
    "var Q=s.aspectRatio.match(/[\\d.]+/g),Y=/^(auto|0px)$/.test(s.minHeight)?Q?V[j]:0:0;"
    "if(o)if(n(s.height)+n(s.width)!=H+x)Y=0;if(s.writingMode!=\"horizontal-tb\")Y=0;"
    "var F=C[j]==\"column\";"
    "if(F)if(s.maxHeight!=\"none\")Y=0;Y=Y?x*Q[1]/Q[0]:0;"
    "V[j]=1>Math.abs(H-Y)?F?[\"max-height\",Y]:[\"min-height\",0]:0;"
    "if(H>0)if(x>0)if(c)if(m)if(m!=\"fill\")if(s.writingMode==\"horizontal-tb\"){var N=0,"
    "R=b.rows[0],u=k,P=s.objectPosition.match(/calc\\([^)]*\\)|[^ ]+/g);"
    "if(R)for(i=0;i!=R.cells.length;i++){var I=R.cells[i].getElementsByTagName(\"img\")[0];"
    "N+=I?(n(I.getAttribute(\"width\"))||I.naturalWidth)-Cb(I,\"l\")-Cb(I,\"r\"):0}N=N?N/x:1;"
    "k=m==\"cover\"?Math.max(1,u):m==\"none\"?N:Math.min(1,u);"
    "if(m==\"scale-down\")k=Math.min(k,N);"
    "f=[k*100,a(P[0],x-x*k)-(s.direction==\"rtl\"?x-x*k:0),a(P[1],H-c*k)]}"
    "if(H>0)if(f||Math.abs(H-c)>1)for(i=0;i!=q[j].length;i++)"
    "r.push(n(getComputedStyle(q[j][i].parentNode.parentNode).height)*k);z.push(r);y.push(f)}"
    "for(j=0;j!=l.length;j++){for(i=0;i!=z[j].length;i++){var I=q[j][i],Hh=z[j][i],"
    "Ct=Cb(I,\"t\"),Cc=Cb(I,\"b\"),Ph=(n(I.getAttribute(\"height\"))||I.naturalHeight)-Ct-Cc;"
    "var Cw=Cb(I,\"\");if(Cw)if(Ph>0){Ph=Hh/Ph;I.style.setProperty(\"margin-top\",-Ct*Ph+\"px\",B);"
    "I.style.setProperty(\"margin-bottom\",-Cc*Ph+\"px\",B);"
    "I.parentNode.style.setProperty(\"width\",Cw*Ph+\"px\",B);I.vlmM=1;Hh+=(Ct+Cc)*Ph}"
    "I.style.setProperty(\"height\",Hh+\"px\",B)}"
    "if(V[j]){l[j].style.setProperty(V[j][0],V[j][1]+\"px\");l[j].vlmH=1}"
    "f=y[j];if(f){b=l[j].tBodies[0];b.vlmF=1;b.style.setProperty(\"width\",f[0]+\"%\",B);"
    "b.style.setProperty(\"position\",\"relative\",B);"
    "b.style.setProperty(\"left\",f[1]+\"px\",B);b.style.setProperty(\"top\",f[2]+\"px\",B)}}}"
    "function h(){var l=d.querySelectorAll(\"img[data-vlm]\");for(var j=0;j!=l.length;j++)g(l[j"
    "]);T()}"
    "w.addEventListener(\"load\",h);w.addEventListener(\"resize\",h)})(document,window)</script"
    ">");

constexpr ScrambledText kTailSnippet("<!-- images protected by Velmora -->");

}  // namespace

// Each is descrambled once, on first use: every page of a run takes them.
const std::string& HeadSnippet1() {
  static const std::string text = Descrambled(kHeadSnippet1);
  return text;
}
const std::string& HeadSnippet2() {
  static const std::string text = Descrambled(kHeadSnippet2);
  return text;
}
const std::string& TailSnippet() {
  static const std::string text = Descrambled(kTailSnippet);
  return text;
}

std::pair<size_t, size_t> FindHeadSnippets(std::string_view page) {
  constexpr std::pair<size_t, size_t> kNone{std::string_view::npos, std::string_view::npos};
  static constexpr ScrambledText kStyleOpening("<style>@layer vlm{table[data-vlm]{");
  static constexpr ScrambledText kScriptOpening("<script>(function(d");
  static const std::string styleOpening = Descrambled(kStyleOpening);
  static const std::string scriptOpening = Descrambled(kScriptOpening);
  constexpr std::string_view kStyleEnd = "</style>", kScriptEnd = "</script>";
  // A large page holds many "<": skip through it, not from "<" to "<".
  const auto found =
      std::search(page.begin(), page.end(),
                  std::boyer_moore_horspool_searcher(styleOpening.begin(), styleOpening.end()));
  if (found == page.end()) return kNone;
  const size_t begin = static_cast<size_t>(found - page.begin());
  const size_t styleEnd = page.find(kStyleEnd, begin);
  if (styleEnd == std::string_view::npos) return kNone;
  const size_t script = styleEnd + kStyleEnd.size();
  if (page.substr(script, scriptOpening.size()) != scriptOpening) return kNone;
  const size_t end = page.find(kScriptEnd, script);
  if (end == std::string_view::npos) return kNone;
  return {begin, end + kScriptEnd.size()};
}
