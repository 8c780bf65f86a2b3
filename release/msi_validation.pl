#!/usr/bin/perl
# Finishes a package's tables as Windows Installer's validation expects of
# them, which wixl does not: drops every table that holds no row (wixl
# writes empty ones, some of a later schema than the package's), lists every
# property that the UI sequence sets in SecureCustomProperties, so that the
# execute sequence of an elevated installation gets it, and
# adds the _Validation table: each column's documented type, key, range,
# foreign key and category, below.
#
#   msi_validation.pl PACKAGE.msi SCRATCH_DIR
use strict;
use warnings;
use Cwd qw(abs_path);
use File::Temp qw(tempdir);

my ($msi, $scratch) = map { abs_path($_) } @ARGV;
die "usage: msi_validation.pl PACKAGE.msi SCRATCH_DIR\n" unless $scratch;
# msiinfo export writes a table's streams (Binary) into the current folder.
chdir tempdir(CLEANUP => 1) or die "no scratch folder: $!\n";

sub run { system(@_) == 0 or die "@_ failed\n" }

sub lines_of {
  open(my $in, '-|', @_) or die "$_[0]: $!\n";
  my @lines = map { s/\r?\n\z//r } <$in>;
  close($in) or die "@_ failed\n";
  return @lines;
}

# The rows of a table as msiinfo exports it, after its three header lines.
sub rows { my @lines = lines_of('msiinfo', 'export', $msi, $_[0]); @lines[3 .. $#lines] }

for my $table (grep { !/^_/ } lines_of('msiinfo', 'tables', $msi)) {
  run('msibuild', $msi, '-q', "DROP TABLE `$table`") unless rows($table);
}

# The upgrade search's properties, which RemoveExistingProducts reads on the
# installer's side, and what else the UI sequence sets: the properties of
# AppSearch, where it runs there, and of property actions (51); never a
# folder, which the execute sequence resolves itself.
my %ui = map { (split /\t/)[0] => 1 } rows('InstallUISequence');
my %secure;
$secure{(split /\t/, $_, -1)[6]} = 1 for rows('Upgrade');
if ($ui{AppSearch}) { $secure{(split /\t/)[0]} = 1 for rows('AppSearch') }
for (rows('CustomAction')) {
  my ($action, $type, $source) = split /\t/;
  $secure{$source} = 1 if $ui{$action} && ($type & 63) == 51;
}
delete @secure{map { (split /\t/)[0] } rows('Directory')};
my $secure = join(';', sort keys %secure);
run('msibuild', $msi, '-q',
    "UPDATE `Property` SET `Value`='$secure' WHERE `Property`='SecureCustomProperties'");

# Table|Column|Nullable|MinValue|MaxValue|KeyTable|KeyColumn|Category|Set|Description,
# where the table SEQUENCE stands for each of the five sequence tables.
my @validation;
while (my $line = <DATA>) {
  chomp $line;
  my @row = split /\|/, $line, -1;
  die "msi_validation.pl: not 10 fields: $line\n" unless @row == 10;
  my @tables = $row[0] ne 'SEQUENCE' ? ($row[0])
    : map { "${_}Sequence" } qw(AdminExecute AdminUI AdvtExecute InstallExecute InstallUI);
  push @validation, map { join("\t", $_, @row[1 .. 9]) } @tables;
}
my $idt = "$scratch/_Validation.idt";
open(my $out, '>', $idt) or die "$idt: $!\n";
print $out map { "$_\r\n" }
  join("\t", qw(Table Column Nullable MinValue MaxValue KeyTable KeyColumn Category Set Description)),
  join("\t", qw(s32 s32 s4 I4 I4 S255 I2 S32 S255 S255)),
  join("\t", qw(_Validation Table Column)),
  @validation;
close($out) or die "$idt: $!\n";
run('msibuild', $msi, '-i', $idt);

__DATA__
_Validation|Table|N|||||Identifier||Name of the table
_Validation|Column|N|||||Identifier||Name of the column
_Validation|Nullable|N|||||Text|Y;N|Whether the column may be null
_Validation|MinValue|Y|-2147483647|2147483647|||||Least value allowed
_Validation|MaxValue|Y|-2147483647|2147483647|||||Greatest value allowed
_Validation|KeyTable|Y|||||Identifier||Tables a foreign key links to
_Validation|KeyColumn|Y|1|32|||||Column of those tables it links to
_Validation|Category|Y|||||Text|Text;Formatted;Template;Condition;Guid;Path;Version;Language;Identifier;Binary;UpperCase;LowerCase;Filename;Paths;AnyPath;WildCardFilename;RegPath;CustomSource;Property;Cabinet;Shortcut;FormattedSDDLText;Integer;DoubleInteger;TimeDate;DefaultDir|Category of a string column
_Validation|Set|Y|||||Text||Values allowed, separated by semicolons
_Validation|Description|Y|||||Text||Description of the column
SEQUENCE|Action|N|||||Identifier||Action to run, standard or custom
SEQUENCE|Condition|Y|||||Condition||Skips the action when false
SEQUENCE|Sequence|Y|-4|32767|||||Position of the action; negative for the exit dialogs
AppSearch|Property|N|||||Identifier||Property the search sets
AppSearch|Signature_|N|||Signature;RegLocator;IniLocator;DrLocator;CompLocator|1|Identifier||Signature or locator searched for
CompLocator|Signature_|N|||||Identifier||Key of the search, and the signature it may name
CompLocator|ComponentId|N|||||Guid||Component whose key path is searched for
CompLocator|Type|Y|0|1|||||Whether that key path is a folder (0) or a file (1)
Binary|Name|N|||||Identifier||Key of the stream
Binary|Data|N|||||Binary||The stream's bytes
Component|Component|N|||||Identifier||Key of the component
Component|ComponentId|Y|||||Guid||The component's GUID
Component|Directory_|N|||Directory|1|Identifier||Folder the component installs into
Component|Attributes|N|||||||Bit flags of the component
Component|Condition|Y|||||Condition||Leaves the component out when false
Component|KeyPath|Y|||File;Registry;ODBCDataSource|1|Identifier||File, registry entry or data source that detects the component
CustomAction|Action|N|||||Identifier||Name of the custom action
CustomAction|Type|N|1|32767|||||Source, code type and option flags
CustomAction|Source|Y|||||CustomSource||Table key or property holding the code
CustomAction|Target|Y|||||Formatted||What the code runs with
CustomAction|ExtendedType|Y|0|2147483647|||||Further option flags
Directory|Directory|N|||||Identifier||Key of the folder, and the property holding its path
Directory|Directory_Parent|Y|||Directory|1|Identifier||Parent folder; null for a root
Directory|DefaultDir|N|||||DefaultDir||Name of the folder below its parent
Feature|Feature|N|||||Identifier||Key of the feature
Feature|Feature_Parent|Y|||Feature|1|Identifier||Parent feature; null for a root
Feature|Title|Y|||||Text||Short name shown for the feature
Feature|Description|Y|||||Text||Longer text shown for the feature
Feature|Display|Y|0|32767|||||Display order
Feature|Level|N|0|32767|||||Install level at which the feature is selected
Feature|Directory_|Y|||Directory|1|UpperCase||Folder the user may change for the feature
Feature|Attributes|N||||||0;1;2;4;5;6;8;9;10;16;17;18;20;21;22;24;25;26;32;33;34;36;37;38;48;49;50;52;53;54|Bit flags of the feature
FeatureComponents|Feature_|N|||Feature|1|Identifier||The feature
FeatureComponents|Component_|N|||Component|1|Identifier||A component of the feature
File|File|N|||||Identifier||Key of the file, its name in the cabinet
File|Component_|N|||Component|1|Identifier||Component that installs the file
File|FileName|N|||||Filename||Short and long name of the file
File|FileSize|N|0|2147483647|||||Size in bytes
File|Version|Y|||File|1|Version||Version of a versioned file, or the companion file whose version it takes
File|Language|Y|||||Language||Languages of the file, comma-separated decimal IDs
File|Attributes|Y|0|32767|||||Bit flags of the file
File|Sequence|N|1|2147483647|||||Position of the file on its media
LaunchCondition|Condition|N|||||Condition||Must be true for the installation to go on
LaunchCondition|Description|N|||||Formatted||Message shown when it is false
Media|DiskId|N|1|32767|||||Key of the medium, in its order
Media|LastSequence|N|0|2147483647|||||Sequence of the last file on the medium
Media|DiskPrompt|Y|||||Text||Name of the disk, for the prompt to insert it
Media|Cabinet|Y|||||Cabinet||Cabinet holding the files; # for one embedded
Media|VolumeLabel|Y|||||Text||Label of the volume
Media|Source|Y|||||Property||Property holding the cabinet's location
Property|Property|N|||||Identifier||Name of the property
Property|Value|N|||||Text||Value of the property, never empty
RegLocator|Signature_|N|||||Identifier||Key of the search, and the signature it may name
RegLocator|Root|N|0|3|||||Predefined root key
RegLocator|Key|N|||||RegPath||Registry key read
RegLocator|Name|Y|||||Formatted||Registry value read
RegLocator|Type|Y|0|18|||||What the value is: a folder, a file or raw data, and its view
Registry|Registry|N|||||Identifier||Key of the registry entry
Registry|Root|N|-1|3|||||Predefined root key
Registry|Key|N|||||RegPath||Registry key written
Registry|Name|Y|||||Formatted||Registry value written
Registry|Value|Y|||||Formatted||Data written
Registry|Component_|N|||Component|1|Identifier||Component that writes the entry
Upgrade|UpgradeCode|N|||||Guid||Upgrade code of the products searched for
Upgrade|VersionMin|Y|||||Text||Least version of the products searched for
Upgrade|VersionMax|Y|||||Text||Greatest version of the products searched for
Upgrade|Language|Y|||||Language||Languages of the products searched for
Upgrade|Attributes|N|0|2147483647|||||Bit flags of the search
Upgrade|Remove|Y|||||Formatted||Features to remove from a product found
Upgrade|ActionProperty|N|||||UpperCase||Property set to the product codes found
